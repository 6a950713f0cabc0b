// The keyboard hook for the two hotkeys of "Settings".
//
// A low-level hook is called on the thread that installed it, and the system
// holds every keystroke of every program until it answers: past
// LowLevelHooksTimeout (at most a second) the key goes on late, and from
// Windows 7 on the hook is removed without a word, the hotkeys dead until the
// program starts again.  The program's user-interface thread does slow work
// at times (a song from a network disk, saving, waiting for playback), so the
// hook has a thread of its own, with its hidden window and a GetMessage loop,
// that does nothing but decide.  What it decides it posts to a hidden relay
// window on the thread that installed the hook (the program's user-interface
// thread), which hands the command to its receiver there, as WM_COPYDATA.
//
// The program saves "Settings" after it has installed the hook again, so the
// hotkeys are not read once at install: a registry change notification marks
// "Settings" as changed, and the next key-down takes the new hotkeys.
#include <windows.h>

#include <atomic>

#include "engine/registry_names.h"
#include "engine/resident_window.h"
#include "korvel/hotkeys/hotkey_hook.h"
#include "korvel/hotkeys/hotkey_filter.h"
#include "korvel/system/module.h"
#include "korvel/system/private_messages.h"
#include "korvel/system/registry_access.h"
#include "utils/handles.h"

namespace {

constexpr char kRelayClass[] = "KorvelHotkeyRelay";
constexpr char kHookWindowClass[] = "KorvelHotkeyHook";
constexpr UINT_PTR kRereadTimer = 1;
// Without change notification "Settings" is read again this often.
constexpr UINT kRereadPeriodMs = 1000;
constexpr UINT kDeliveryTimeoutMs = 5000;

// Used on the hook's thread alone, but for window: set once by the first
// install, before that install's request reaches the thread.
struct HookState {
    HHOOK hook;
    HWND window;            // the hook thread's hidden window: installs, the reread timer
    RegistryKey programKey;  // opened for change notification
    std::string programKeyName;  // the key programKey is
    KernelHandle settingsChanged;  // signalled by the registry when the key changes
    bool notifying;         // a notification is armed on settingsChanged
    korvel::HotkeyFilter filter;
    // The relay on the installing thread, where the hook thread posts
    // commands: read there, so atomic.
    std::atomic<HWND> relay{nullptr};
    DWORD relayThread;  // read and written by installing threads only
    // The resident window, as the install gave it; used on the relay's
    // thread, the installing one.
    HWND commandTarget;
    // What the hook asks of the library; the same for the process's life.
    std::atomic<korvel::HookHost *> host{nullptr};
};

HookState g_hook;

void ReadHotkeys() {
    korvel::StoredValue block;
    RegistryKey key;
    bool read = RegOpenKeyExA(HKEY_CURRENT_USER, g_hook.host.load()->SettingsKey().c_str(), 0, KEY_QUERY_VALUE,
                              key.Put()) == ERROR_SUCCESS &&
                block.Read(key.Get(), kValueSettings) && block.type() == REG_BINARY;
    key.Close();
    g_hook.filter.SetHotkeysFromBlock(read ? block.bytes() : nullptr, read ? block.size() : 0);
}

// Arms the next change notification.  A notification fires once, so it is
// armed again before every read: a change after the read is never missed.
bool ArmNotification() {
    if (!g_hook.settingsChanged) {
        g_hook.settingsChanged.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!g_hook.settingsChanged) return false;
    }
    std::string name = g_hook.host.load()->SettingsKey();
    if (g_hook.programKey && name != g_hook.programKeyName) g_hook.programKey.Close();
    if (!g_hook.programKey) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, KEY_NOTIFY, g_hook.programKey.Put()) != ERROR_SUCCESS) {
            g_hook.programKey.Release();  // the failed call may have left anything there
            return false;
        }
        g_hook.programKeyName = name;
    }
    ResetEvent(g_hook.settingsChanged.Get());
    if (RegNotifyChangeKeyValue(g_hook.programKey.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET,
                                g_hook.settingsChanged.Get(), TRUE) != ERROR_SUCCESS) {
        // The key may have been deleted and made again: open it afresh next time.
        g_hook.programKey.Close();
        return false;
    }
    return true;
}

void RefreshHotkeys() {
    g_hook.notifying = ArmNotification();
    ReadHotkeys();
    // Without notification the hook window's timer reads "Settings" again
    // and keeps trying to arm one.
    if (g_hook.notifying)
        KillTimer(g_hook.window, kRereadTimer);
    else
        SetTimer(g_hook.window, kRereadTimer, kRereadPeriodMs, nullptr);
}

unsigned HeldModifiers() {
    unsigned flags = 0;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) flags |= korvel::kModShift;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) flags |= korvel::kModCtrl;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) flags |= korvel::kModAlt;
    if ((GetAsyncKeyState(VK_LWIN) | GetAsyncKeyState(VK_RWIN)) & 0x8000) flags |= korvel::kModWin;
    return flags;
}

// The masking key, down and up.  Injected input is queued behind the key
// being decided, which is swallowed, so the focused window sees the mask
// where it would have seen the hotkey.  The hook passes it on.
void InjectMaskKey() {
    INPUT mask[2] = {};
    for (INPUT &input : mask) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(korvel::kMaskKey);
    }
    mask[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, mask, sizeof mask[0]);
}

void PostCommand(WPARAM code) {
    if (HWND relay = g_hook.relay.load()) PostMessageA(relay, korvel::kMsgRelayCommand, code, 0);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM message, LPARAM data) {
    if (code != HC_ACTION) return CallNextHookEx(nullptr, code, message, data);
    const KBDLLHOOKSTRUCT *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
    bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    // Only cheap checks here: the event is polled, and "Settings" is read
    // again only after it has actually changed.
    if (down && g_hook.notifying && WaitForSingleObject(g_hook.settingsChanged.Get(), 0) == WAIT_OBJECT_0)
        RefreshHotkeys();
    unsigned modifiers = down ? HeldModifiers() : 0;
    korvel::KeyAction action = g_hook.filter.OnKey(key->vkCode, down, modifiers);
    if (action == korvel::KeyAction::Pass) return CallNextHookEx(nullptr, code, message, data);
    if (korvel::HotkeyFilter::MasksBefore(action, modifiers)) InjectMaskKey();
    switch (action) {
    case korvel::KeyAction::SendNext:
        PostCommand(TIVORN_CODE_NEXT);
        break;
    case korvel::KeyAction::SendMenu:
        PostCommand(TIVORN_CODE_MENU);
        break;
    case korvel::KeyAction::Pass:
    case korvel::KeyAction::Swallow:
        break;
    }
    return 1;
}

// "Next" goes to whoever owns playback (a preview in the best settings
// dialog, for example); the menu always belongs to the running copy.  The
// copy's window is the one the install was given: searching every window's
// title would ask the program's own windows for theirs, and wait on them.
HWND CommandTarget(WPARAM code) {
    if (code == TIVORN_CODE_NEXT) {
        HWND owner = g_hook.host.load()->PlaybackOwner();
        if (owner && IsWindow(owner)) return owner;
    }
    return g_hook.commandTarget && IsWindow(g_hook.commandTarget) ? g_hook.commandTarget : nullptr;
}

void Deliver(HWND relay, WPARAM code) {
    HWND target = CommandTarget(code);
    if (!target) return;
    COPYDATASTRUCT command = {static_cast<ULONG_PTR>(code), 0, nullptr};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(relay),
                        reinterpret_cast<LPARAM>(&command), SMTO_ABORTIFHUNG, kDeliveryTimeoutMs, &answer);
}

LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == korvel::kMsgRelayCommand) {
        Deliver(window, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterWindowClass(const char *name, WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = korvel::ThisModule();
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateMessageWindow(const char *windowClass) {
    return CreateWindowExA(0, windowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, korvel::ThisModule(), nullptr);
}

bool RelayOnThisThread() {
    DWORD thread = GetCurrentThreadId();
    HWND current = g_hook.relay.load();
    if (current && g_hook.relayThread == thread && IsWindow(current)) return true;
    if (!RegisterWindowClass(kRelayClass, RelayProc)) return false;
    HWND relay = CreateMessageWindow(kRelayClass);
    if (!relay) return false;
    // A window of another thread can only be closed by that thread.
    if (current) PostMessageA(current, WM_CLOSE, 0, 0);
    g_hook.relayThread = thread;
    g_hook.relay.store(relay);
    return true;
}

// Runs on the hook thread: the hook is installed there, so that the system
// calls it there.
HHOOK InstallOnHookThread() {
    RefreshHotkeys();
    g_hook.filter.ForgetHeldKey();
    // The program removes the hook itself and then installs it again; should
    // it ever install twice, the earlier hook goes, so a key acts only once.
    if (g_hook.hook) UnhookWindowsHookEx(g_hook.hook);
    g_hook.hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, korvel::ThisModule(), 0);
    return g_hook.hook;
}

LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case korvel::kMsgInstallRequest:
        return reinterpret_cast<LRESULT>(InstallOnHookThread());
    case WM_TIMER:
        if (wParam == kRereadTimer) RefreshHotkeys();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct HookThreadStart {
    HANDLE ready;  // set once the thread's window stands, or cannot
    HWND window;
};

DWORD WINAPI HookThreadMain(void *parameter) {
    auto *start = static_cast<HookThreadStart *>(parameter);
    HWND window = RegisterWindowClass(kHookWindowClass, HookWindowProc) ? CreateMessageWindow(kHookWindowClass)
                                                                         : nullptr;
    start->window = window;
    SetEvent(start->ready);  // start is gone from here on
    if (!window) return 1;
    // The hook is called from within GetMessage; nothing here ever waits
    // on another thread.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

// The hook thread's window, the thread started on first use.  The thread
// runs until the process ends, so the library is pinned: unloading it would
// pull the code from under the thread and the hook.
HWND HookThreadWindow() {
    if (g_hook.window) return g_hook.window;
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCSTR>(&HookThreadMain), &pinned))
        return nullptr;
    KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!ready) return nullptr;
    HookThreadStart start = {ready.Get(), nullptr};
    KernelHandle thread(CreateThread(nullptr, 0, HookThreadMain, &start, 0, nullptr));
    if (thread) {
        HANDLE waits[2] = {ready.Get(), thread.Get()};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    g_hook.window = start.window;
    return g_hook.window;
}

}  // namespace

namespace korvel {

HHOOK InstallHotkeyHook(HWND commandTarget, HookHost &host) {
    g_hook.host.store(&host);
    if (!RelayOnThisThread()) return nullptr;
    g_hook.commandTarget = commandTarget;
    HWND hookWindow = HookThreadWindow();
    if (!hookWindow) return nullptr;
    // The hook thread never waits on this one, so the call returns at once.
    return reinterpret_cast<HHOOK>(SendMessageA(hookWindow, korvel::kMsgInstallRequest, 0, 0));
}

}  // namespace korvel
