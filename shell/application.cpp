#include "shell/application.h"

#include <commctrl.h>
#include <objbase.h>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "player/player.h"
#include "shell/code_page_check.h"
#include "shell/hotkeys.h"
#include "shell/message_loop.h"
#include "shell/out_of_memory.h"
#include "shell/popup_menu.h"
#include "shell/startup_lock.h"
#include "shell/startup.h"
#include "store/store.h"
#include "utils/com.h"
#include "utils/command_line_files.h"
#include "utils/handles.h"
#include "utils/message_box.h"
#include "utils/suspend_resume_notice.h"

namespace {

const char kNotInstalled[] =
    "Tivorn はインストールされていません。\nセットアップを実行してください。";

// A start that could not hand its command line over says so.
const char kHandOverNoAnswer[] =
    "実行中の Tivorn が応答しないため、ファイルや操作を渡せませんでした。\n"
    "しばらく待ってから、もう一度お試しください。";
const char kHandOverRefused[] =
    "実行中の Tivorn にファイルや操作を渡せませんでした。\n"
    "どちらか一方が管理者として実行されている可能性があります。\n"
    "実行中の Tivorn を終了してから、もう一度お試しください。";
// While one start shows its box, the others of a burst (twenty files opened
// at once on a copy that does not answer) end without stacking more: this
// named event exists as long as a box shows.
const char kHandOverBoxShowing[] = "Local\\Zarnith.Tivorn.HandOverBox";
// A copy that was exiting answers that it took nothing; the start then waits
// for it to end and runs as the new copy.  A copy that keeps answering so
// (another program's window wearing the tag) is not waited for for ever.
constexpr int kHandOverTries = 3;

void TellHandOverFailed(int result) {
    KernelHandle showing(CreateEventA(nullptr, TRUE, FALSE, kHandOverBoxShowing));
    bool first = showing && GetLastError() != ERROR_ALREADY_EXISTS;
    if (first)
        ShowMessage(nullptr, result == KORVEL_HANDOVER_REFUSED ? kHandOverRefused : kHandOverNoAnswer,
                    MB_OK | MB_ICONERROR);
}

// Whether a running copy took the command line, or told why not: this start
// then ends.  False when no copy runs, with lock held.
bool HandedToRunningCopy(StartupLock &lock, const CommandLineArguments &arguments) {
    for (int tries = 1; HWND running = FindTivornWindow(); ++tries) {
        lock.Release();
        int result = HandOver(arguments.line.c_str(), running);
        if (result == KORVEL_HANDOVER_DONE) {
            TellFilesLeftOut(nullptr, arguments.leftOut);
            return true;
        }
        if (result != KORVEL_HANDOVER_NO_COPY || tries >= kHandOverTries) {
            TellHandOverFailed(result);
            return true;
        }
        // The copy was exiting; it holds the lock until it has ended.
        lock.Acquire();
    }
    return false;
}

const char kEngineCloseFailed[] = "オーディオデバイスの終了処理に失敗しました。";

void InitControlClasses() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace

Application::Application(HINSTANCE instance, const RegistryRoot &root) : store_(root) {
    state_.instance = instance;
    store_.AddListener(this);
}

Application::~Application() {
    store_.RemoveListener(this);
    DestroyWindows();
    player_.SetHost(nullptr);
}

void Application::SettingsChanged(const Settings &settings, SettingsChange change) {
    switch (change) {
    case SettingsChange::Hotkeys:
        // Should the hook fail now, the report has no owner and the program
        // goes on without it.  After an exit there is no hook to follow.
        if (state_.hook.get()) {
            RemoveHotkeyHook(state_);
            InstallHotkeyHook(state_, store_, HookFailure::GoesOn);
        }
        break;
    case SettingsChange::MediaKeys:
        mediaKeys_.Use(settings.mediaKeys ? MediaKeySetting::On : MediaKeySetting::Off);
        break;
    case SettingsChange::Options:
    case SettingsChange::LoopPlay:    // the engine reads it at the next song
    case SettingsChange::SongNotice:  // read as each song starts
        break;
    }
}

HWND Application::CreateResidentWindow() {
    // The player reports to this window and the tray from its first call.
    player_.SetHost(&playerHost_);
    return residentWindow_.Create(state_.instance);
}

// A copy that is exiting is no longer the running copy: its tag goes first,
// so that a start from now on runs as the new copy instead of handing over
// to one that no longer listens.  That start waits for the startup lock,
// which this copy holds from here to its end, so the two never overlap (the
// new one would find the MIDI device still taken).  The lock comes before
// the tag: a start that is searching finishes first, and a hand-over it
// then sends is answered "not taken".  Then the notes are released (a device
// would hold them sounding) and the history saved (a random switch changes
// it in memory only).
void Application::RequestExit(ExitReason reason) {
    if (exitReason_) return;
    exitReason_ = reason;
    if (!exitLock_) exitLock_.emplace();
    residentWindow_.StopTakingCommands();
    help_.Close();
    player_.SaveHistory(HistorySave::IfPresent);
    if (!EngineClose()) TellExitFailure(kEngineCloseFailed);
    tray_.FreeBestNames();
    // What the members' destructors would release, in their order, while
    // the resident window stands.
    mediaKeys_.LetGo();
    tray_.UpdateIcon(TrayKind::Remove, nullptr);
    RemoveHotkeyHook(state_);
    UnloadPopupMenu(state_);
    // The quit message comes only after the messages queued before it: a
    // hand-over queued meanwhile is answered, not left to time out.
    PostQuitMessage(0);
}

void Application::TellExitFailure(const char *text) {
    if (exitReason_ == ExitReason::SessionEnd)
        AppendToLog(store_.FailureLogFile(), text);
    else
        ShowMessage(state_.resident, text, MB_OK | MB_ICONERROR);
}

int Application::RunMessageLoop() {
    int exitCode = ::RunMessageLoop(state_.modeless, state_.resident, *this);
    if (exitReason_) DestroyWindows();
    return exitCode;
}

void Application::DestroyWindows() {
    if (HWND dialog = state_.bestDialog) {
        state_.modeless.Remove(dialog);
        state_.bestDialog = nullptr;
        DestroyWindow(dialog);
    }
    about_.Close();
    if (HWND resident = state_.resident) {
        state_.resident = nullptr;
        DestroyWindow(resident);
    }
}

int Application::Run() {
    // Before anything is read or written: in another code page every string
    // of the program, paths included, would mean something else.
    if (!CheckProgramCodePage()) return 0;
    // The command line as the system has it, in UTF-16: the ANSI one has
    // '?' or look-alikes where a file name holds what the code page cannot
    // spell.
    CommandLineArguments arguments = ReadCommandLine();

    // A drive without its medium (an empty card reader in the folder tree, a
    // dropped share) is then a failed call, not the system's box asking for
    // a disk in the middle of a listing.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
    InstallOutOfMemoryHandler();

    // One copy per user: a second start passes its command line on and ends
    // without reading anything.
    StartupLock lock;
    if (HandedToRunningCopy(lock, arguments)) return 0;

    if (store_.LoadSettings() != LoadResult::Ready) {
        lock.Release();
        ShowMessage(nullptr, kNotInstalled, MB_OK | MB_ICONERROR);
        return 0;
    }

    // The Shell's verbs (the song's properties through ShellExecuteEx) may
    // run COM objects, which need the thread initialised first; the user
    // interface thread is a single-threaded apartment.
    ComApartment com(kShellApartment);

    InitControlClasses();
    state_.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    HWND resident = CreateResidentWindow();
    if (resident) residentWindow_.ClaimRunningCopy();
    lock.Release();
    if (!resident) {
        ReportUnexpectedError(nullptr);
        return 0;
    }
    state_.resident = resident;
    SuspendResumeNotice powerNotices(resident);  // until the loop has ended

    LoadPopupMenu(state_);
    // Files on the command line play first, in place of the best's first
    // song; the other files of the same selection, handed over by the starts
    // that Explorer made with this one, join them.
    residentWindow_.QueueHandOver({TivornProcessStartTime(), cmdline::FilesOnCommandLine(arguments.line.c_str())});
    // A failed start-up load has reported itself; the loop then only handles
    // what is already queued before the exit.  Files that could not be named
    // are told of once the others play.
    if (RunStartupLoad(*this))
        TellFilesLeftOut(nullptr, arguments.leftOut);
    else
        RequestExit(ExitReason::StartFailed);
    return RunMessageLoop();
}
