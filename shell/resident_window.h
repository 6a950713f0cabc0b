// The hidden resident window (template IDD_RESIDENT) that receives every
// command.  It never shows: the About view is a window of its own.
#ifndef TIVORN_SHELL_RESIDENT_WINDOW_H
#define TIVORN_SHELL_RESIDENT_WINDOW_H

#include <windows.h>

#include "utils/command_line_files.h"
#include "utils/window_binding.h"

class Application;

// The window's handlers over the application's parts.  The application
// owns this object and outlives the window, which only lets go of it.
class ResidentWindow {
public:
    explicit ResidentWindow(Application &app) : app_(app) {}
    ResidentWindow(const ResidentWindow &) = delete;
    ResidentWindow &operator=(const ResidentWindow &) = delete;

    // Creates the window hidden; null on failure.
    HWND Create(HINSTANCE instance);

    // Queues files handed over (by a second start, or this start's own
    // command line): a hand-over from a process started with the ones before
    // it (Explorer's one process per selected file) joins their queue.
    void QueueHandOver(cmdline::HandedOver handed);

    // The window is the running copy's from now on: a second start hands
    // over to it.  Only the program's start, under its start-up lock.
    void ClaimRunningCopy();

    // The exit has begun: the window is no longer the running copy's (its
    // tag goes), takes no more commands and stops its timers.
    void StopTakingCommands();

private:
    friend class WindowBinding<ResidentWindow, WindowLifetime::OutlivesWindow>;

    INT_PTR OnInitDialog(HWND window);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    INT_PTR OnCommand(WORD id);
    BOOL SwitchToBest(int k);
    void SwitchToNextBest();
    void FlipRepeatOne();
    void OpenBestSettingsFromMenu();
    void ShowSongProperties();
    void PlayHandedFilesUnlessEditing();
    void RunCopyDataCommand(ULONG_PTR code);
    LRESULT OnCopyData(const COPYDATASTRUCT *data);
    void OnMediaKey(WPARAM hotkeyId);
    void OnTrayNotify(UINT mouseMessage);
    void OpenTrayMenuWhenIdle();
    void OnTimer(UINT_PTR id);
    void OnPowerBroadcast(WPARAM event);
    void RetryResume();
    void AllowMessagesFromLowerIntegrity();

    Application &app_;
    HWND window_ = nullptr;
    bool suspended_ = false;   // the sleep stopped a playing song
    int resumeTriesLeft_ = 0;  // of the wait for the devices after a wake
    bool exiting_ = false;     // the exit has begun: commands are no longer taken
    cmdline::HandOverBurst handOvers_;
};

#endif
