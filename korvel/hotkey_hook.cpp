// The keyboard hook for the two hotkeys of "Settings".
//
// The hook procedure runs on the thread that installed the hook (the
// program's user-interface thread) and must answer quickly: the system drops
// low-level hooks that keep it waiting.  So it only decides, and posts what
// it found to a hidden window of the engine on the same thread, which then
// finds the receiving window and sends the command.
//
// The program saves "Settings" after it has installed the hook again, so the
// hotkeys are not read once at install: a registry change notification marks
// "Settings" as changed, and the next key-down takes the new hotkeys.
#include <windows.h>

#include "engine/korvel.h"
#include "engine/registry_names.h"
#include "engine/resident_window.h"
#include "korvel/hotkey_filter.h"
#include "korvel/module.h"
#include "korvel/registry_access.h"

namespace {

constexpr char kRelayClass[] = "KorvelHotkeyRelay";
constexpr UINT kRelayCommand = WM_APP + 1;  // wParam: the WM_COPYDATA code
constexpr UINT_PTR kRereadTimer = 1;
// Without change notification "Settings" is read again this often.
constexpr UINT kRereadPeriodMs = 1000;
constexpr UINT kDeliveryTimeoutMs = 5000;
constexpr int kEngineVariant = 1;

struct HookState {
    HHOOK hook;
    HWND relay;             // hidden message window on the hook's thread
    DWORD relayThread;
    HKEY programKey;        // opened for change notification
    HANDLE settingsChanged; // signalled by the registry when the key changes
    bool notifying;         // a notification is armed on settingsChanged
    korvel::HotkeyFilter filter;
};

HookState g_hook;

void ReadHotkeys() {
    korvel::StoredValue block;
    HKEY key = nullptr;
    bool read = RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS &&
                block.Read(key, kValueSettings) && block.type() == REG_BINARY;
    if (key) RegCloseKey(key);
    g_hook.filter.SetHotkeysFromBlock(read ? block.bytes() : nullptr, read ? block.size() : 0);
}

// Arms the next change notification.  A notification fires once, so it is
// armed again before every read: a change after the read is never missed.
bool ArmNotification() {
    if (!g_hook.settingsChanged) {
        g_hook.settingsChanged = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!g_hook.settingsChanged) return false;
    }
    if (!g_hook.programKey &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_NOTIFY, &g_hook.programKey) != ERROR_SUCCESS) {
        g_hook.programKey = nullptr;
        return false;
    }
    ResetEvent(g_hook.settingsChanged);
    if (RegNotifyChangeKeyValue(g_hook.programKey, FALSE, REG_NOTIFY_CHANGE_LAST_SET,
                                g_hook.settingsChanged, TRUE) != ERROR_SUCCESS) {
        // The key may have been deleted and made again: open it afresh next time.
        RegCloseKey(g_hook.programKey);
        g_hook.programKey = nullptr;
        return false;
    }
    return true;
}

void RefreshHotkeys() {
    g_hook.notifying = ArmNotification();
    ReadHotkeys();
    // Without notification the relay's timer reads "Settings" again and
    // keeps trying to arm one.
    if (g_hook.notifying)
        KillTimer(g_hook.relay, kRereadTimer);
    else
        SetTimer(g_hook.relay, kRereadTimer, kRereadPeriodMs, nullptr);
}

unsigned HeldModifiers() {
    unsigned flags = 0;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) flags |= korvel::kModShift;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) flags |= korvel::kModCtrl;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) flags |= korvel::kModAlt;
    return flags;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM message, LPARAM data) {
    if (code != HC_ACTION) return CallNextHookEx(nullptr, code, message, data);
    const KBDLLHOOKSTRUCT *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
    bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    // Only cheap checks here: the event is polled, and "Settings" is read
    // again only after it has actually changed.
    if (down && g_hook.notifying && WaitForSingleObject(g_hook.settingsChanged, 0) == WAIT_OBJECT_0)
        RefreshHotkeys();
    switch (g_hook.filter.OnKey(key->vkCode, down, down ? HeldModifiers() : 0)) {
    case korvel::KeyAction::Pass:
        return CallNextHookEx(nullptr, code, message, data);
    case korvel::KeyAction::SendNext:
        PostMessageA(g_hook.relay, kRelayCommand, TIVORN_CODE_NEXT, 0);
        break;
    case korvel::KeyAction::SendMenu:
        PostMessageA(g_hook.relay, kRelayCommand, TIVORN_CODE_MENU, 0);
        break;
    case korvel::KeyAction::Swallow:
        break;
    }
    return 1;
}

// Fast-forward goes to whoever owns playback (a preview in the best settings
// dialog, for example); the menu always belongs to the running copy.
HWND CommandTarget(WPARAM code) {
    if (code == TIVORN_CODE_NEXT) {
        HWND owner = PlaybackOwner();
        if (owner && IsWindow(owner)) return owner;
    }
    return FindTivornWindow();
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
    switch (message) {
    case kRelayCommand:
        Deliver(window, wParam);
        return 0;
    case WM_TIMER:
        if (wParam == kRereadTimer) RefreshHotkeys();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RelayOnThisThread() {
    DWORD thread = GetCurrentThreadId();
    if (g_hook.relay && g_hook.relayThread == thread && IsWindow(g_hook.relay)) return true;
    WNDCLASSA relayClass = {};
    relayClass.lpfnWndProc = RelayProc;
    relayClass.hInstance = g_korvelModule;
    relayClass.lpszClassName = kRelayClass;
    if (!RegisterClassA(&relayClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    HWND relay = CreateWindowExA(0, kRelayClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_korvelModule,
                                 nullptr);
    if (!relay) return false;
    // A window of another thread can only be closed by that thread.
    if (g_hook.relay) PostMessageA(g_hook.relay, WM_CLOSE, 0, 0);
    g_hook.relay = relay;
    g_hook.relayThread = thread;
    return true;
}

}  // namespace

extern "C" {

HHOOK InstallHook(int) {
    if (!RelayOnThisThread()) return nullptr;
    RefreshHotkeys();
    g_hook.filter.ForgetHeldKey();
    // The program removes the hook itself and then installs it again; should
    // it ever install twice, the earlier hook goes, so a key acts only once.
    if (g_hook.hook) UnhookWindowsHookEx(g_hook.hook);
    g_hook.hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, g_korvelModule, 0);
    return g_hook.hook;
}

int EngineVariant(void) { return kEngineVariant; }

}  // extern "C"
