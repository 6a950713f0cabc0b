#include "shell/tray.h"

#include <commctrl.h>

#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/best_menu_label.h"
#include "shell/output_menu.h"
#include "store/store.h"
#include "utils/caption.h"
#include "utils/path_rules.h"
#include "utils/system_function.h"

Tray::Tray(const ApplicationState &state, Store &store, const Player &player)
    : state_(state), store_(store), player_(player) {
    // Looked up once: the newer systems' DPI and icon functions, null where
    // the system predates them.
    dpiForMonitor_ = SystemFunction<DpiForMonitor>(LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                                                   "GetDpiForMonitor");
    metricsForDpi_ = SystemFunction<SystemMetricsForDpi>(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi");
    loadScaledDown_ = SystemFunction<IconWithScaleDown>(GetModuleHandleA("comctl32.dll"), "LoadIconWithScaleDown");
    store_.AddListener(this);
}

// The icon goes with the tray: an exit that did not remove it leaves none
// behind in the notification area.
Tray::~Tray() {
    store_.RemoveListener(this);
    if (record_.hWnd) UpdateIcon(TrayKind::Remove, nullptr);
    if (imageA_) DestroyIcon(imageA_);
    if (imageB_) DestroyIcon(imageB_);
}

namespace {

// The taskbar draws the notification area at the scale of the monitor it is
// on.  A per-monitor aware process is told the scale at sign-in by
// GetSystemMetrics and LoadIconMetric, and the hidden resident window may
// be on another monitor, so the taskbar's own monitor is asked.
UINT TaskbarDpi(Tray::DpiForMonitor dpiForMonitor) {
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI, Windows 8.1 on
    // A search by class alone sends the windows no message.
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    HMONITOR monitor = taskbar ? MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    UINT x = 0, y = 0;
    if (dpiForMonitor && monitor && SUCCEEDED(dpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && y) return y;
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// The small icon's size at dpi: 16 px at 100 %, 20, 24 and 32 px at 125,
// 150 and 200 %.
int SmallIconSize(UINT dpi, Tray::SystemMetricsForDpi metricsForDpi) {
    if (metricsForDpi) return metricsForDpi(SM_CXSMICON, dpi);
    HDC screen = GetDC(nullptr);
    int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), systemDpi > 0 ? systemDpi : USER_DEFAULT_SCREEN_DPI);
}

}  // namespace

// The icon files carry each size, and the image of the size asked for is
// taken, or a larger one scaled down, instead of a 16 px image blurred up.
HICON Tray::LoadSmallIcon(WORD id, int size) const {
    HICON icon = nullptr;
    if (loadScaledDown_ && SUCCEEDED(loadScaledDown_(state_.instance, MAKEINTRESOURCEW(id), size, size, &icon)))
        return icon;
    return static_cast<HICON>(LoadImageA(state_.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void Tray::LoadImages(int size) {
    // The Shell keeps its own copy of the icon shown, so the old images
    // can go before the new ones are shown.
    if (imageA_) DestroyIcon(imageA_);
    if (imageB_) DestroyIcon(imageB_);
    imageA_ = LoadSmallIcon(IDI_TRAY_A, size);
    imageB_ = LoadSmallIcon(IDI_TRAY_B, size);
    iconSize_ = size;
}

void Tray::ReloadImages() { ReloadImagesAt(TaskbarDpi(dpiForMonitor_)); }

void Tray::ReloadImagesAt(UINT dpi) {
    int size = SmallIconSize(dpi, metricsForDpi_);
    if (size == iconSize_ && imageA_) return;
    LoadImages(size);
    record_.hIcon = alternate_ ? imageB_ : imageA_;
    if (record_.hWnd) Notify(NIM_MODIFY);
}

void Tray::SetTip(const char *text) { ansi::CopyFit(record_.szTip, kTrayTipBytes + 1, text); }

bool Tray::Notify(DWORD action) { return Shell_NotifyIconA(action, &record_) != FALSE; }

// While Explorer starts (a start at logon) the notification area may not
// take the icon yet, and a busy Explorer lets the call time out.  An icon
// that survived an Explorer restart is still there, so adding it again
// fails where changing it succeeds.
bool Tray::AddIcon() {
    if (!Notify(NIM_ADD) && !Notify(NIM_MODIFY)) return false;
    addTriesLeft_ = 0;
    if (state_.resident) KillTimer(state_.resident, kTrayAddRetryTimer);
    return true;
}

namespace {

// Whether the user is there to see a balloon without it getting in the way:
// not while a full-screen program, a presentation or the lock screen has
// the screen.  A system that cannot say is taken as one that can be shown.
bool NoticeWelcome() {
    QUERY_USER_NOTIFICATION_STATE state;
    if (FAILED(SHQueryUserNotificationState(&state))) return true;
    switch (state) {
    case QUNS_NOT_PRESENT:
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE: return false;
    default: return true;
    }
}

}  // namespace

void Tray::TellSongBegan(const PlayerReport &report) {
    if (!store_.settings().songNotice || !report.tip || !NoticeWelcome()) return;
    NOTIFYICONDATAA &r = record_;
    r.cbSize = sizeof r;
    r.uID = kTrayIconId;
    r.uFlags = NIF_INFO;
    r.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
    // The title is the file's: cut between characters to the balloon's
    // title, as the file name is for the tip.
    if (report.songTitle)
        ansi::CopyFit(r.szInfoTitle, sizeof r.szInfoTitle, report.songTitle);
    else
        TrayTipText(report.tip, r.szInfoTitle, sizeof r.szInfoTitle);
    // A handed-over file belongs to no best: its path says where it is.
    ansi::CopyFit(r.szInfo, sizeof r.szInfo, report.bestName && *report.bestName ? report.bestName : report.tip);
    ++noticesAsked_;
    Notify(NIM_MODIFY);
}

void Tray::RetryAdd() {
    if (addTriesLeft_ <= 0 || AddIcon()) return;
    if (--addTriesLeft_ == 0 && state_.resident) KillTimer(state_.resident, kTrayAddRetryTimer);
}

void Tray::UpdateIcon(TrayKind kind, const char *path) {
    NOTIFYICONDATAA &r = record_;
    r.cbSize = sizeof r;
    r.uID = kTrayIconId;
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    r.uCallbackMessage = kTrayMessage;
    switch (kind) {
    case TrayKind::Remove:
        addTriesLeft_ = 0;
        if (state_.resident) KillTimer(state_.resident, kTrayAddRetryTimer);
        Notify(NIM_DELETE);
        break;
    case TrayKind::Add:
        SetTip(TIVORN_CAPTION);
        alternate_ = 0;
        r.hWnd = state_.resident;
        // Explorer restarted, perhaps after a change of scale.
        LoadImages(SmallIconSize(TaskbarDpi(dpiForMonitor_), metricsForDpi_));
        r.hIcon = imageA_;
        if (!AddIcon() && state_.resident) {
            addTriesLeft_ = kTrayAddRetries;
            SetTimer(state_.resident, kTrayAddRetryTimer, kTrayAddRetryPeriodMs, nullptr);
        }
        break;
    case TrayKind::Tip:
        if (path)
            TrayTipText(path, r.szTip, kTrayTipBytes + 1);
        else
            SetTip(TIVORN_CAPTION);
        Notify(NIM_MODIFY);
        break;
    case TrayKind::Still:
        r.hIcon = imageA_;
        alternate_ = 0;
        Notify(NIM_MODIFY);
        break;
    case TrayKind::Alternate:
        alternate_ ^= 1;
        r.hIcon = alternate_ ? imageB_ : imageA_;
        Notify(NIM_MODIFY);
        break;
    default:
        break;
    }
}

int Tray::ImageShown() const { return record_.hIcon && record_.hIcon == imageB_ ? 1 : 0; }

int Tray::ImagePixels() const {
    ICONINFO info = {};
    if (!record_.hIcon || !GetIconInfo(record_.hIcon, &info)) return 0;
    // The icon's bitmaps are copies made for the caller.
    GdiObject<HBITMAP> colour(info.hbmColor);
    GdiObject<HBITMAP> mask(info.hbmMask);
    BITMAP bitmap = {};
    GetObjectA(colour ? colour.Get() : mask.Get(), sizeof bitmap, &bitmap);
    return bitmap.bmWidth;
}

namespace {

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

}  // namespace

HMENU Tray::Popup() const { return state_.popupMenu ? GetSubMenu(state_.popupMenu, 0) : nullptr; }

void Tray::InsertBestItem(HMENU menu, int index, const char *name) {
    char label[paths::kPathBuffer];
    BestMenuLabel(index, name, label, sizeof label);
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_CHECKMARKS;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.wID = IDM_BEST_FIRST + index;
    item.hbmpChecked = state_.checkBitmap.Get();
    item.dwTypeData = label;
    InsertMenuItemA(menu, index, TRUE, &item);
}

int Tray::BestMenuItemCount() const {
    HMENU menu = Popup();
    return menu ? CountBestItems(menu) : 0;
}

int Tray::BuildBestMenu(BestMenuMode mode) {
    HMENU menu = Popup();
    if (mode == BestMenuMode::Rebuild) {
        if (!menu) return 0;
        ClearBestMenu();
        // Without a readable file the menu has no bests, and neither has the
        // list: positions and names must stay one to one.
        if (!store_.ReadBestNames(&bestNames_)) FreeBestNames();
        for (size_t i = 0; i < bestNames_.size() && i < static_cast<size_t>(kMaxBestMenuItems); ++i)
            InsertBestItem(menu, static_cast<int>(i), bestNames_[i].c_str());
    }
    if (!menu) return 1;
    int count = CountBestItems(menu);
    if (static_cast<size_t>(count) > bestNames_.size()) count = static_cast<int>(bestNames_.size());
    const char *current = player_.CurrentBestName();
    for (int i = 0; i < count; ++i) {
        bool isCurrent = current && bestNames_[i] == current;
        if (mode == BestMenuMode::MoveCheck || isCurrent)
            CheckMenuItem(menu, i, MF_BYPOSITION | (isCurrent ? MF_CHECKED : MF_UNCHECKED));
    }
    return 1;
}

void Tray::ClearBestMenu() {
    if (HMENU menu = Popup())
        while (GetMenuItemCount(menu) > 0 && !IsSeparatorItem(menu, 0)) DeleteMenu(menu, 0, MF_BYPOSITION);
    FreeBestNames();
}

void Tray::FreeBestNames() {
    bestNames_.clear();
    bestNames_.shrink_to_fit();
}

void Tray::SetPlayMenuState(bool playing) {
    if (!state_.popupMenu) return;
    UINT play = playing ? MF_GRAYED : MF_ENABLED;
    UINT others = playing ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(state_.popupMenu, IDM_PLAY, MF_BYCOMMAND | play);
    EnableMenuItem(state_.popupMenu, IDM_STOP, MF_BYCOMMAND | others);
    EnableMenuItem(state_.popupMenu, IDM_SONG_INFO, MF_BYCOMMAND | others);
}

void Tray::ShowOptionChecks() {
    if (!state_.popupMenu) return;
    auto check = [this](UINT command, Option option) {
        CheckMenuItem(state_.popupMenu, command, MF_BYCOMMAND | (store_.option(option) ? MF_CHECKED : MF_UNCHECKED));
    };
    check(IDM_RANDOM, Option::Random);
    check(IDM_REPEAT_ONE, Option::RepeatOne);
}

void Tray::SettingsChanged(const Settings &, SettingsChange change) {
    if (change == SettingsChange::Options) ShowOptionChecks();
}

void Tray::ShowMenu(HWND owner) {
    HMENU menu = Popup();
    if (!menu) return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    BuildOutputMenu(menu, store_);  // the devices plugged in now
    ShowOptionChecks();             // as loaded, before any change told them
    // Without the foreground the menu would not close when clicked away.
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
    // Lets the menu's modal loop end properly before the next click.
    PostMessageA(owner, WM_USER, 0, 0);
}
