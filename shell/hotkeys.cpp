#include "shell/hotkeys.h"

#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/message_box.h"

bool InstallHotkeyHook(ApplicationState &state, Store &store, HookFailure failure) {
    HHOOK hook = InstallHook(store.settings().engineVariant, state.resident);
    if (!hook) {
        ReportUnexpectedError(failure == HookFailure::EndsProgram ? state.resident : nullptr);
        return false;
    }
    state.hook.reset(hook);
    store.WriteHookValue(hook);
    return true;
}

void RemoveHotkeyHook(ApplicationState &state) { state.hook.reset(); }

namespace {

// Hotkey ids are the program's own (below 0xC000); one per media key.
struct MediaKey {
    int id;
    UINT key;
};
const MediaKey kMediaKeys[] = {
    {1, VK_MEDIA_PLAY_PAUSE},
    {2, VK_MEDIA_NEXT_TRACK},
    {3, VK_MEDIA_PREV_TRACK},
    {4, VK_MEDIA_STOP},
};

}  // namespace

// RegisterHotKey rather than the keyboard hook: the system refuses a key
// that another player holds, where a hook would see it and act twice; and
// the key no longer reaches the focused window as well.  MOD_NOREPEAT: a
// held Next skips one song, not one per repeat.
void RegisterMediaKeys(HWND window) {
    for (const MediaKey &media : kMediaKeys)
        if (!RegisterHotKey(window, media.id, MOD_NOREPEAT, media.key))
            RegisterHotKey(window, media.id, 0, media.key);  // a system without MOD_NOREPEAT
}

void UnregisterMediaKeys(HWND window) {
    for (const MediaKey &media : kMediaKeys) UnregisterHotKey(window, media.id);
}

UINT MediaKeyCommand(WPARAM hotkeyId, bool playing) {
    switch (hotkeyId) {
    case 1: return playing ? IDM_STOP : IDM_PLAY;
    case 2: return IDM_NEXT;
    case 3: return IDM_REWIND;
    case 4: return IDM_STOP;
    default: return 0;
    }
}

// The system lets a process take the foreground only in documented cases:
// it received the last input event (the hook, on a thread of this process,
// took the hotkey), or the process that did allowed it (a second start calls
// AllowSetForegroundWindow before handing the menu command over).  Nothing
// here attaches to another thread's input: attached to a hung foreground
// window's thread, this one would hang with it.
bool TakeForegroundForMenu(HWND window) {
    return GetForegroundWindow() == window || SetForegroundWindow(window) != FALSE;
}
