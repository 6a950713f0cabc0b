#include "shell/resident_window.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/application.h"
#include "shell/hotkeys.h"
#include "shell/output_menu.h"
#include "shell/popup_menu.h"
#include "store/output_choice.h"
#include "store/store.h"
#include "utils/command_line_files.h"
#include "utils/message_box.h"
#include "utils/private_messages.h"
#include "utils/scope_guard.h"

namespace {

const char kNoProperties[] = "プロパティを表示できませんでした。";

INT_PTR Answer(HWND window, LRESULT result) {
    return WindowBinding<ResidentWindow, WindowLifetime::OutlivesWindow>::Answer(window, result);
}

// After a wake the MIDI devices come back in their own time (a USB device is
// enumerated again, a driver restarts), so playing again waits for them on a
// timer, a few tries apart, rather than inside the power message.
constexpr UINT_PTR kResumeRetryTimer = 4;
constexpr UINT kResumeRetryPeriodMs = 1000;
constexpr int kResumeTries = 5;

// The output can play again: the chosen device is back (the mapper would
// otherwise stand in for it), or the output needs none (the play log).  The
// last try plays whatever the outcome, on the mapper if need be, and the
// engine takes the device at a later song once it is back.
bool OutputReady(const Store &store, int triesLeft) {
    return triesLeft <= 1 || outputs::ChosenOutputListed(ReadOutputChoice(store), OutputDeviceNames());
}

}  // namespace

HWND ResidentWindow::Create(HINSTANCE instance) {
    return WindowBinding<ResidentWindow, WindowLifetime::OutlivesWindow>::Create(instance, IDD_RESIDENT, nullptr,
                                                                                 *this);
}

INT_PTR ResidentWindow::OnInitDialog(HWND window) {
    window_ = window;
    // Tags this window as the program's resident window, so that a message
    // box captioned "Tivorn" is never taken for it.  It becomes the target
    // of hand-overs once the start claims it (ClaimRunningCopy).
    SetPropA(window, TIVORN_RESIDENT_PROP, TIVORN_TAG_MADE);
    AllowMessagesFromLowerIntegrity();
    return TRUE;
}

// User Interface Privilege Isolation drops messages sent from a process of
// lower integrity.  A copy started as administrator would otherwise take no
// hand-over from Explorer's starts, and would never hear that Explorer
// restarted, its tray icon gone for good.  Only these two pass; none of them
// carries more than a command code or a checked list of files.
void ResidentWindow::AllowMessagesFromLowerIntegrity() {
    ChangeWindowMessageFilterEx(window_, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    if (UINT taskbarCreated = app_.state().taskbarCreated)
        ChangeWindowMessageFilterEx(window_, taskbarCreated, MSGFLT_ALLOW, nullptr);
}

INT_PTR ResidentWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Once the exit has begun, commands and the player's messages queued
    // behind it would find the engine closed: only a hand-over is answered,
    // told that it was not taken.
    if (exiting_ && message != WM_COPYDATA) return FALSE;
    if (message == app_.state().taskbarCreated && message != 0) {
        app_.tray().UpdateIcon(TrayKind::Add, nullptr);
        return Answer(window_, 0);
    }
    switch (message) {
    case WM_COMMAND: {
        MediaKeys::OtherCommand other(app_.mediaKeys());
        return OnCommand(LOWORD(wParam));
    }
    case WM_COPYDATA: {
        MediaKeys::OtherCommand other(app_.mediaKeys());
        return Answer(window_, OnCopyData(reinterpret_cast<const COPYDATASTRUCT *>(lParam)));
    }
    case kTrayMessage: OnTrayNotify(static_cast<UINT>(lParam)); return Answer(window_, 1);
    case WM_TIMER: OnTimer(wParam); return TRUE;
    case kMsgSettleMediaKeys: app_.mediaKeys().Settle(); return TRUE;
    case WM_POWERBROADCAST: OnPowerBroadcast(wParam); return Answer(window_, TRUE);
    case WM_MEASUREITEM:
        return MeasureMenuPicture(app_.state(), reinterpret_cast<MEASUREITEMSTRUCT *>(lParam));
    case WM_DRAWITEM: return DrawMenuPicture(app_.state(), reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
    // The taskbar's scale may change without the hidden window's monitor
    // changing its own: a display change is asked too.
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE: app_.tray().ReloadImages(); return FALSE;
    case WM_QUERYENDSESSION: return Answer(window_, TRUE);
    // Windows may end the process at any moment once this returns: the exit
    // is done here and now.
    case WM_ENDSESSION:
        if (wParam) app_.RequestExit(ExitReason::SessionEnd);
        return Answer(window_, 0);
    case kMsgSongEnded: app_.player().HandleSongEnded(wParam); return TRUE;
    case kMsgPreviewEnded: app_.player().HandlePreviewEnded(wParam, lParam); return TRUE;
    case kMsgOpenTrayMenu: OpenTrayMenuWhenIdle(); return TRUE;
    case WM_HOTKEY: OnMediaKey(wParam); return TRUE;
    case kMsgPlayHandedFiles: PlayHandedFilesUnlessEditing(); return TRUE;
    default: return FALSE;
    }
}

// Command 10000 + k.  FALSE when refused: no such best, or it is current.
BOOL ResidentWindow::SwitchToBest(int k) {
    Tray &tray = app_.tray();
    if (k < 0 || static_cast<size_t>(k) >= tray.BestNames().size() || k >= tray.BestMenuItemCount()) return FALSE;
    if (!GetSubMenu(app_.state().popupMenu, 0)) return FALSE;
    return app_.player().ChooseBest(tray.BestNames()[k].c_str()) ? TRUE : FALSE;
}

// The best after the current one, the first after the last or when none is current.
void ResidentWindow::SwitchToNextBest() {
    HMENU popupMenu = app_.state().popupMenu;
    int count = app_.tray().BestMenuItemCount();
    if (!popupMenu || !GetSubMenu(popupMenu, 0) || count == 0) return;
    const std::vector<std::string> &names = app_.tray().BestNames();
    const char *current = app_.player().CurrentBestName();
    int next = 0;
    for (int i = 0; i < count && current; ++i) {
        if (names[i] == current) {
            next = (i + 1) % count;
            break;
        }
    }
    SwitchToBest(next);
}

void ResidentWindow::FlipRepeatOne() {
    // The tray menu's check follows the settings.
    app_.store().SetOption(Option::RepeatOne, !app_.store().option(Option::RepeatOne));
}

void ResidentWindow::OpenBestSettingsFromMenu() {
    // A dialog whose result is being applied is on its way out, though its
    // window still stands (starting a song can take sent messages): the
    // request is kept for the close to carry out, not lost on it.
    if (app_.state().closingBestSettings) {
        app_.state().reopenBestSettings = true;
        return;
    }
    // One dialog at a time: a second request brings the open one forward.
    if (HWND open = app_.state().bestDialog) {
        SetForegroundWindow(open);
        return;
    }
    if (!app_.editorHost().OpenBestSettings(BestSettingsOpener::Menu)) ReportUnexpectedError(window_, app_);
}

// The Shell's properties of the current song (of a shortcut, the shortcut itself).
void ResidentWindow::ShowSongProperties() {
    const char *path = app_.player().CurrentSongPath();
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.hwnd = window_;
    info.lpVerb = "properties";
    info.lpFile = path;
    if (!path || !ShellExecuteExA(&info)) ShowMessage(window_, kNoProperties, MB_OK | MB_ICONERROR);
}

INT_PTR ResidentWindow::OnCommand(WORD id) {
    if (id >= IDM_BEST_FIRST && id < IDM_BEST_FIRST + kMaxBestMenuItems) return SwitchToBest(id - IDM_BEST_FIRST);
    if (IsOutputCommand(id)) {
        ChooseOutput(id, window_, app_.store());
        return TRUE;
    }
    switch (id) {
    case IDM_PLAY: app_.player().PlayCurrentSong(); break;
    case IDM_STOP: app_.player().StopPlayback(); break;
    case IDM_RANDOM: app_.player().SetRandomMode(!app_.store().option(Option::Random), RandomChange::Switch); break;
    case IDM_NEXT: app_.player().PlayNextSong(); break;
    case IDM_VERSION: app_.about().Open(); break;
    case IDM_EXIT: app_.RequestExit(ExitReason::ExitCommand); break;
    case IDM_BEST_SETTINGS: OpenBestSettingsFromMenu(); break;
    case IDM_REPEAT_ONE: FlipRepeatOne(); break;
    case IDM_REWIND: app_.player().RestartCurrentSong(); break;
    case IDM_CLEAR_HISTORY: app_.player().ClearHistory(); break;
    case IDM_HELP: app_.help().Show(window_, app_); break;
    case IDM_SONG_INFO: ShowSongProperties(); break;
    default: return FALSE;
    }
    return TRUE;
}

// Files handed over while the best settings dialog is open (it may be
// previewing, or the player may wait for it to name a best) wait for it to
// close, as the menu's play does; its close plays them.
void ResidentWindow::PlayHandedFilesUnlessEditing() {
    if (!app_.state().bestDialog) app_.player().PlayHandedFiles();
}

// Copy-data command codes from the engine's hook and from a second start.
void ResidentWindow::RunCopyDataCommand(ULONG_PTR code) {
    switch (code) {
    case TIVORN_CODE_NEXT: app_.player().PlayNextSong(); break;
    case TIVORN_CODE_REWIND: app_.player().RestartCurrentSong(); break;
    case TIVORN_CODE_STOP: app_.player().StopPlayback(); break;
    case TIVORN_CODE_NEXT_BEST: SwitchToNextBest(); break;
    case TIVORN_CODE_RESTART:
        if (app_.player().SongPlaying()) app_.player().RestartCurrentSong();
        break;
    case TIVORN_CODE_MENU: PostMessageA(window_, kMsgOpenTrayMenu, 0, 0); break;
    default: break;
    }
}

void ResidentWindow::QueueHandOver(cmdline::HandedOver handed) {
    if (handed.files.empty()) return;
    bool joins = handOvers_.Joins(handed.started);
    app_.player().QueueHandedFiles(std::move(handed.files), joins ? HandedQueue::Join : HandedQueue::Replace);
}

LRESULT ResidentWindow::OnCopyData(const COPYDATASTRUCT *data) {
    // A code that arrives while the window is still being created is not
    // taken, nor one that arrives while the copy exits: the sender then
    // knows that no copy runs to take it.
    if (!app_.state().resident || exiting_) return TIVORN_NOT_TAKEN;
    if (!data) return 0;
    if (data->dwData == TIVORN_CODE_PLAY_FILES) {
        // The block is only ours until this returns, and the sender waits:
        // the files are queued now and played once it has its answer.  Files
        // that join a queue already playing wait their turn.
        const char *block = static_cast<const char *>(data->lpData);
        QueueHandOver(cmdline::ReadHandOverBlock(block, block ? data->cbData : 0));
        PostMessageA(window_, kMsgPlayHandedFiles, 0, 0);
        return 0;
    }
    RunCopyDataCommand(data->dwData);
    return 0;
}

// A media key acts as its tray menu command would.  While the best settings
// dialog is open (it may be previewing a song, or wait for its OK) it is
// ignored, as the tray menu does not open then.
// A key pressed while a box of an earlier key's command waits (a song that
// cannot be played) is ignored too: the command is not entered twice.
void ResidentWindow::OnMediaKey(WPARAM hotkeyId) {
    MediaKeys &keys = app_.mediaKeys();
    if (keys.KeyCommandUnderWay() || app_.state().bestDialog || BestSettingsRequired(app_.state())) return;
    UINT command = MediaKeyCommand(hotkeyId, app_.player().SongPlaying());
    if (!command) return;
    keys.BeginKeyCommand();
    ScopeGuard done([&keys] { keys.EndKeyCommand(); });
    OnCommand(static_cast<WORD>(command));
}

void ResidentWindow::OnTrayNotify(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        if (!BestSettingsRequired(app_.state())) app_.player().PlayNextSong();
        break;
    case WM_RBUTTONUP:
        if (ApplicationIdle(app_.state())) app_.tray().ShowMenu(window_);
        break;
    default: break;
    }
}

void ResidentWindow::OpenTrayMenuWhenIdle() {
    // A window may have opened since the code arrived.
    if (!ApplicationIdle(app_.state())) return;
    // A menu without the foreground could not be used with the keys nor
    // closed by a click elsewhere: better none, with the refusal's beep.
    if (TakeForegroundForMenu(window_))
        app_.tray().ShowMenu(window_);
    else
        MessageBeep(MB_OK);
}

void ResidentWindow::OnTimer(UINT_PTR id) {
    if (id == kTrayAnimationTimer) {
        // Any answer but the two the library gives leaves the icon as it is.
        int activity = ActivityState();
        if (activity == 0 || activity == 1)
            app_.tray().UpdateIcon(activity ? TrayKind::Alternate : TrayKind::Still, nullptr);
    } else if (id == kTrayAddRetryTimer)
        app_.tray().RetryAdd();
    else if (id == kResumeRetryTimer)
        RetryResume();
    else if (id == kMediaKeyHoldTimer)
        app_.mediaKeys().OnHoldTimer();
}

void ResidentWindow::OnPowerBroadcast(WPARAM event) {
    switch (event) {
    case PBT_APMSUSPEND:
        // Only a song stopped here is played again on the wake: one that
        // went on playing (no suspend notice came) is left alone.
        suspended_ = app_.player().SongPlaying();
        resumeTriesLeft_ = 0;
        KillTimer(window_, kResumeRetryTimer);
        app_.player().SuspendPlayback();
        app_.mediaKeys().Suspend();
        break;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
        // Both may come for one wake; the second only starts the wait again.
        if (!suspended_) break;
        resumeTriesLeft_ = kResumeTries;
        SetTimer(window_, kResumeRetryTimer, kResumeRetryPeriodMs, nullptr);
        break;
    default: break;
    }
}

void ResidentWindow::RetryResume() {
    if (resumeTriesLeft_ > 0 && !OutputReady(app_.store(), resumeTriesLeft_--)) return;
    KillTimer(window_, kResumeRetryTimer);
    resumeTriesLeft_ = 0;
    if (!suspended_) return;
    suspended_ = false;
    app_.player().ResumePlayback();
}

void ResidentWindow::ClaimRunningCopy() { SetPropA(window_, TIVORN_RESIDENT_PROP, TIVORN_TAG_RUNNING_COPY); }

void ResidentWindow::StopTakingCommands() {
    exiting_ = true;
    RemovePropA(window_, TIVORN_RESIDENT_PROP);
    KillTimer(window_, kTrayAnimationTimer);
    KillTimer(window_, kResumeRetryTimer);
}
