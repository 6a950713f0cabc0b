#include "shell/tray.h"

#include <windows.h>
#include <shellapi.h>

#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/best_menu_label.h"
#include "shell/shell_state.h"
#include "store/best_file.h"

namespace {

struct TrayState {
    NOTIFYICONDATAA record;  // one record, reused for every shell call
    HICON imageA;
    HICON imageB;
    int alternate;           // 1 while image B is shown by the animation
};

TrayState g_tray;

// Positions of the best items and names correspond one to one.
std::vector<std::string> g_bestNames;

HICON LoadSmallIcon(WORD id) {
    return static_cast<HICON>(
        LoadImageA(g_shell.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

void LoadImages() {
    if (g_tray.imageA) DestroyIcon(g_tray.imageA);
    if (g_tray.imageB) DestroyIcon(g_tray.imageB);
    g_tray.imageA = LoadSmallIcon(IDI_TRAY_A);
    g_tray.imageB = LoadSmallIcon(IDI_TRAY_B);
}

void SetTip(const char *text) {
    ansi::CopyFit(g_tray.record.szTip, kTrayTipBytes + 1, text);
}

void Notify(DWORD action) { Shell_NotifyIconA(action, &g_tray.record); }

}  // namespace

void UpdateTrayIcon(int kind, const char *path) {
    NOTIFYICONDATAA &r = g_tray.record;
    r.cbSize = sizeof r;
    r.uID = kTrayIconId;
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    r.uCallbackMessage = kTrayMessage;
    switch (kind) {
    case kTrayRemove:
        Notify(NIM_DELETE);
        break;
    case kTrayAdd:
        SetTip("Tivorn");
        g_tray.alternate = 0;
        r.hWnd = g_shell.resident;
        LoadImages();
        r.hIcon = g_tray.imageA;
        Notify(NIM_ADD);
        break;
    case kTrayTip:
        if (path)
            TrayTipText(path, r.szTip, kTrayTipBytes + 1);
        else
            SetTip("Tivorn");
        Notify(NIM_MODIFY);
        break;
    case kTrayStill:
        r.hIcon = g_tray.imageA;
        g_tray.alternate = 0;
        Notify(NIM_MODIFY);
        break;
    case kTrayAlternate:
        g_tray.alternate ^= 1;
        r.hIcon = g_tray.alternate ? g_tray.imageB : g_tray.imageA;
        Notify(NIM_MODIFY);
        break;
    default:
        break;
    }
}

const char *TrayTipText() { return g_tray.record.szTip; }

int TrayImageShown() { return g_tray.record.hIcon && g_tray.record.hIcon == g_tray.imageB ? 1 : 0; }

namespace {

HMENU TrayPopup() { return g_shell.popupMenu ? GetSubMenu(g_shell.popupMenu, 0) : nullptr; }

bool IsSeparatorItem(HMENU menu, int position) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    return GetMenuItemInfoA(menu, position, TRUE, &item) && (item.fType & MFT_SEPARATOR);
}

// The best items are the items above the first separator.
int CountBestItems(HMENU menu) {
    int items = GetMenuItemCount(menu);
    int count = 0;
    while (count < items && !IsSeparatorItem(menu, count)) ++count;
    return count;
}

void InsertBestItem(HMENU menu, int index, const char *name) {
    char label[MAX_PATH];
    BestMenuLabel(index, name, label, sizeof label);
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_CHECKMARKS;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.wID = IDM_BEST_FIRST + index;
    item.hbmpChecked = g_shell.checkBitmap;
    item.dwTypeData = label;
    InsertMenuItemA(menu, index, TRUE, &item);
}

}  // namespace

int BestMenuItemCount() {
    HMENU menu = TrayPopup();
    return menu ? CountBestItems(menu) : 0;
}

int BuildBestMenu(BestMenuMode mode) {
    HMENU menu = TrayPopup();
    if (mode == kRebuildBestMenu) {
        if (!menu) return 0;
        while (GetMenuItemCount(menu) > 0 && !IsSeparatorItem(menu, 0)) DeleteMenu(menu, 0, MF_BYPOSITION);
        // Without a readable file the menu has no bests, and neither has the
        // list: positions and names must stay one to one.
        if (!ReadBestNames(&g_bestNames)) FreeBestNames();
        for (size_t i = 0; i < g_bestNames.size() && i < static_cast<size_t>(kMaxBestMenuItems); ++i)
            InsertBestItem(menu, static_cast<int>(i), g_bestNames[i].c_str());
    }
    if (!menu) return 1;
    int count = CountBestItems(menu);
    if (static_cast<size_t>(count) > g_bestNames.size()) count = static_cast<int>(g_bestNames.size());
    const char *current = CurrentBestName();
    for (int i = 0; i < count; ++i) {
        bool isCurrent = current && g_bestNames[i] == current;
        if (mode == kMarkCurrentBest || isCurrent)
            CheckMenuItem(menu, i, MF_BYPOSITION | (isCurrent ? MF_CHECKED : MF_UNCHECKED));
    }
    return 1;
}

const std::vector<std::string> &BestNames() { return g_bestNames; }

void FreeBestNames() {
    g_bestNames.clear();
    g_bestNames.shrink_to_fit();
}

void SetPlayMenuState(bool playing) {
    if (!g_shell.popupMenu) return;
    UINT play = playing ? MF_GRAYED : MF_ENABLED;
    UINT others = playing ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(g_shell.popupMenu, IDM_PLAY, MF_BYCOMMAND | play);
    EnableMenuItem(g_shell.popupMenu, IDM_STOP, MF_BYCOMMAND | others);
    EnableMenuItem(g_shell.popupMenu, IDM_SONG_INFO, MF_BYCOMMAND | others);
}

void ShowTrayMenu(HWND owner) {
    HMENU menu = TrayPopup();
    if (!menu) return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when clicked away.
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
    // Lets the menu's modal loop end properly before the next click.
    PostMessageA(owner, WM_USER, 0, 0);
}
