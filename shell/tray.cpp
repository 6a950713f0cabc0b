#include "shell/tray.h"

#include <windows.h>
#include <shellapi.h>

#include "engine/korvel.h"
#include "korvel/ansi_text.h"
#include "resources/resource_ids.h"
#include "shell/shell_state.h"

namespace {

struct TrayState {
    NOTIFYICONDATAA record;  // one record, reused for every shell call
    HICON imageA;
    HICON imageB;
    int alternate;           // 1 while image B is shown by the animation
};

TrayState g_tray;

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
        if (path) {
            const char *separator = LastSeparator(path);
            SetTip(separator ? separator + 1 : path);
        } else {
            SetTip("Tivorn");
        }
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
