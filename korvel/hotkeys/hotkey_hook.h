// The low-level keyboard hook that turns the two hotkeys of "Settings" into
// commands for the program.
#ifndef TIVORN_KORVEL_HOTKEYS_HOTKEY_HOOK_H
#define TIVORN_KORVEL_HOTKEYS_HOTKEY_HOOK_H

#include <windows.h>

#include <string>

namespace korvel {

// What the hook asks of the library it serves.  Called on the hook's own
// thread and on the installing one, so both answers must be safe there.
class HookHost {
public:
    // The registry key whose "Settings" holds the hotkeys.
    virtual std::string SettingsKey() = 0;
    // Where "next" goes before the running copy: whoever owns playback now
    // (a preview in the best settings dialog, say); null when nobody does.
    virtual HWND PlaybackOwner() = 0;

protected:
    ~HookHost() = default;
};

// Installs the hook (again) on its own thread; the commands reach
// commandTarget, the running copy's window, on the calling thread.  host
// lives as long as the process.  Null when the hook could not be installed.
HHOOK InstallHotkeyHook(HWND commandTarget, HookHost &host);

}  // namespace korvel

#endif
