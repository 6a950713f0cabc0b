#include "shell/resident_window.h"

#include <shellapi.h>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/about_view.h"
#include "shell/best_settings.h"
#include "shell/player_link.h"
#include "shell/shell_state.h"
#include "shell/tray.h"
#include "store/settings.h"
#include "utils/message_box.h"

namespace {

const char kEngineCloseFailed[] = "オーディオデバイスの終了処理に失敗しました。";
const char kNoProperties[] = "プロパティを表示できませんでした。";

// Posted to open the tray menu for copy-data code 5: the sender (the hook, a
// second start) gets its answer at once instead of waiting while the user
// looks at the menu.
constexpr UINT kMsgOpenTrayMenu = WM_APP + 3;

// A dialog procedure answers a message's result through DWLP_MSGRESULT.
INT_PTR Answer(HWND window, LRESULT result) {
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void OnInitDialog(HWND window) {
    // Marks this window as the target of hand-overs and hotkeys, so that a
    // message box captioned "Tivorn" is never taken for it.
    SetPropA(window, TIVORN_RESIDENT_PROP, reinterpret_cast<HANDLE>(1));
}

void RestartCurrentSong() {
    StopPlayback();
    PlayCurrentSong();
}

// Command 10000 + k.  FALSE when refused: no such best, or it is current.
BOOL SwitchToBest(int k) {
    if (k < 0 || static_cast<size_t>(k) >= BestNames().size() || k >= BestMenuItemCount()) return FALSE;
    HMENU menu = GetSubMenu(g_shell.popupMenu, 0);
    if (!menu || (GetMenuState(menu, k, MF_BYPOSITION) & MF_CHECKED)) return FALSE;
    SaveHistory(HistorySave::IfPresent);
    SetCurrentBestName(BestNames()[k].c_str());
    SetPlaybackOwner(nullptr, 1);
    SwitchBest(AfterSwitch::Play);
    return TRUE;
}

// The best after the checked one, the first after the last or when none is checked.
void SwitchToNextBest() {
    HMENU menu = g_shell.popupMenu ? GetSubMenu(g_shell.popupMenu, 0) : nullptr;
    int count = BestMenuItemCount();
    if (!menu || count == 0) return;
    int next = 0;
    for (int i = 0; i < count; ++i) {
        if (GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) {
            next = (i + 1) % count;
            break;
        }
    }
    SwitchToBest(next);
}

void FlipRepeatOne() {
    int on = SetOption(OPT_REPEAT_ONE, !TestOption(OPT_REPEAT_ONE));
    CheckMenuItem(g_shell.popupMenu, IDM_REPEAT_ONE, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void OpenBestSettingsFromMenu(HWND window) {
    // One dialog at a time: a second request brings the open one forward.
    if (g_shell.bestDialog) {
        SetForegroundWindow(g_shell.bestDialog);
        return;
    }
    if (!OpenBestSettings(kModeBestFromMenu)) ReportUnexpectedError(window, true);
}

// The shell's properties of the current song (of a shortcut, the shortcut itself).
void ShowSongProperties(HWND window) {
    const char *path = g_player.songs.currentSong;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.hwnd = window;
    info.lpVerb = "properties";
    info.lpFile = path;
    if (!path || !ShellExecuteExA(&info)) ShowMessage(window, kNoProperties, MB_OK | MB_ICONERROR);
}

// The About view can also show over an open best settings dialog: the mode
// then stays the dialog's, which says whether it must be left with OK and
// keeps its keys; the message loop gives the view its keys by its window.
void HideAbout(HWND window) {
    ShowWindow(window, SW_HIDE);
    if (g_shell.appMode == kModeAbout) g_shell.appMode = kModeIdle;
}

void ShowAbout(HWND window) {
    ShowWindow(window, SW_SHOW);
    if (g_shell.appMode == kModeIdle) g_shell.appMode = kModeAbout;
}

INT_PTR OnCommand(HWND window, WORD id) {
    if (id >= IDM_BEST_FIRST && id < IDM_BEST_FIRST + kMaxBestMenuItems) return SwitchToBest(id - IDM_BEST_FIRST);
    switch (id) {
    case IDOK:
    case IDCANCEL: HideAbout(window); break;
    case IDM_PLAY: PlayCurrentSong(); break;
    case IDM_STOP: StopPlayback(); break;
    case IDM_RANDOM: SetRandomMode(!TestOption(OPT_RANDOM), RandomChange::Switch); break;
    case IDM_NEXT: PlayNextSong(); break;
    case IDM_VERSION: ShowAbout(window); break;
    case IDM_EXIT: PostMessageA(window, WM_DESTROY, 0, 0); break;
    case IDM_BEST_SETTINGS: OpenBestSettingsFromMenu(window); break;
    case IDM_REPEAT_ONE: FlipRepeatOne(); break;
    case IDM_REWIND: RestartCurrentSong(); break;
    case IDM_CLEAR_HISTORY: ClearHistory(); break;
    case IDM_HELP: ShowHelp(window); break;
    case IDM_SONG_INFO: ShowSongProperties(window); break;
    default: return FALSE;
    }
    return TRUE;
}

// Copy-data command codes from the engine's hook and from a second start.
void RunCopyDataCommand(HWND window, ULONG_PTR code) {
    switch (code) {
    case TIVORN_CODE_NEXT: PlayNextSong(); break;
    case TIVORN_CODE_REWIND: RestartCurrentSong(); break;
    case TIVORN_CODE_STOP: StopPlayback(); break;
    case TIVORN_CODE_NEXT_BEST: SwitchToNextBest(); break;
    case TIVORN_CODE_RESTART:
        if (g_player.playing) RestartCurrentSong();
        break;
    case TIVORN_CODE_MENU: PostMessageA(window, kMsgOpenTrayMenu, 0, 0); break;
    default: break;
    }
}

LRESULT OnCopyData(HWND window, const COPYDATASTRUCT *data) {
    // A code that arrives while the window is still being created is ignored.
    if (!g_shell.resident || !data) return 1;
    RunCopyDataCommand(window, data->dwData);
    return 0;
}

void OnTrayNotify(HWND window, UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        if (g_shell.appMode != kModeBestRequired) PlayNextSong();
        break;
    case WM_RBUTTONUP:
        if (g_shell.appMode == kModeIdle) ShowTrayMenu(window);
        break;
    default: break;
    }
}

void OnTimer(HWND window, UINT_PTR id) {
    if (id == kTrayAnimationTimer)
        UpdateTrayIcon(ActivityState() + kTrayStill, nullptr);
    else if (id == kAboutAnimationTimer)
        OnAboutTimer(window);
}

void OnPowerBroadcast(WPARAM event) {
    if (event == PBT_APMSUSPEND)
        SuspendPlayback();
    else if (event == PBT_APMRESUMESUSPEND)
        ResumePlayback();
}

// WM_DESTROY arrives posted by the exit command or a fatal error; the window
// itself lives on until the process ends.
void OnDestroy(HWND window) {
    KillTimer(window, kTrayAnimationTimer);
    CloseHelp();
    if (!EngineClose()) ShowMessage(window, kEngineCloseFailed, MB_OK | MB_ICONERROR);
    FreeBestNames();
    PostQuitMessage(0);
}

}  // namespace

AppMode ModeWithoutBestSettings() {
    return g_shell.resident && IsWindowVisible(g_shell.resident) ? kModeAbout : kModeIdle;
}

HWND CreateResidentWindow() {
    // The player reports to this window and the tray from its first call.
    ConnectPlayer();
    return CreateDialogParamA(g_shell.instance, MAKEINTRESOURCEA(IDD_RESIDENT), nullptr,
                              ResidentWindowProc, 0);
}

INT_PTR CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_shell.taskbarCreated && message != 0) {
        UpdateTrayIcon(kTrayAdd, nullptr);
        return Answer(window, 0);
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_COPYDATA:
        return Answer(window, OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT *>(lParam)));
    case kTrayMessage:
        OnTrayNotify(window, static_cast<UINT>(lParam));
        return Answer(window, 1);
    case WM_TIMER:
        OnTimer(window, wParam);
        return TRUE;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wParam);
        return Answer(window, 0);
    case WM_SHOWWINDOW:
        OnAboutShowWindow(window, wParam != 0);
        return FALSE;
    case WM_PAINT:
        return OnAboutPaint(window);
    case kMsgSongEnded:
        HandleSongEnded(wParam);
        return TRUE;
    case kMsgPreviewEnded:
        HandlePreviewEnded(wParam, lParam);
        return TRUE;
    case kMsgOpenTrayMenu:
        // The mode may have changed since the code arrived.
        if (g_shell.appMode == kModeIdle) ShowTrayMenu(window);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(window);
        return TRUE;
    default:
        return FALSE;
    }
}
