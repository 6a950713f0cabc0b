// The hotkey hook, as the program calls it.
#include <string>

#include "engine/korvel.h"
#include "korvel/dll/settings_key.h"
#include "korvel/hotkeys/hotkey_hook.h"

namespace {

constexpr int kEngineVariant = 1;

// The hook reads both on its own thread: the settings key behind its lock,
// the playback owner as one pointer-sized read.
class PlaybackHookHost : public korvel::HookHost {
public:
    std::string SettingsKey() override { return korvel::SettingsKey(); }
    HWND PlaybackOwner() override { return ::PlaybackOwner(); }
};

}  // namespace

extern "C" {

HHOOK InstallHook(int /*unusedVariant*/, HWND commandTarget) {
    static PlaybackHookHost host;
    return korvel::InstallHotkeyHook(commandTarget, host);
}

int EngineVariant(void) { return kEngineVariant; }

}  // extern "C"
