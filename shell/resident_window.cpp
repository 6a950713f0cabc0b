#include "shell/resident_window.h"

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "resources/resource_ids.h"
#include "shell/errors.h"
#include "shell/shell_state.h"
#include "shell/tray.h"

namespace {

const char kEngineCloseFailed[] = "オーディオデバイスの終了処理に失敗しました。";

void OnInitDialog(HWND window) {
    // Marks this window as the target of hand-overs and hotkeys, so that a
    // message box captioned "Tivorn" is never taken for it.
    SetPropA(window, TIVORN_RESIDENT_PROP, reinterpret_cast<HANDLE>(1));
}

// Copy-data command codes from the engine's hook and from a second start.
void RunCopyDataCommand(ULONG_PTR code) {
    switch (code) {
    default:
        break;
    }
}

INT_PTR OnCopyData(const COPYDATASTRUCT *data) {
    // A code that arrives while the window is still being created is ignored.
    if (!g_shell.resident || !data) return 1;
    RunCopyDataCommand(data->dwData);
    return 0;
}

void HideAbout(HWND window) {
    ShowWindow(window, SW_HIDE);
    g_shell.appMode = kModeIdle;
}

INT_PTR OnCommand(HWND window, WORD id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        HideAbout(window);
        return TRUE;
    case IDM_EXIT:
        PostMessageA(window, WM_DESTROY, 0, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// WM_DESTROY arrives posted by the exit command or a fatal error; the window
// itself lives on until the process ends.
void OnDestroy(HWND window) {
    if (!EngineClose()) ShowMessage(window, kEngineCloseFailed, MB_OK | MB_ICONERROR);
    PostQuitMessage(0);
}

}  // namespace

HWND CreateResidentWindow() {
    return CreateDialogParamA(g_shell.instance, MAKEINTRESOURCEA(IDD_RESIDENT), nullptr,
                              ResidentWindowProc, 0);
}

INT_PTR CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_shell.taskbarCreated && message != 0) {
        UpdateTrayIcon(kTrayAdd, nullptr);
        return 0;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_COPYDATA:
        SetWindowLongPtrA(window, DWLP_MSGRESULT,
                          OnCopyData(reinterpret_cast<const COPYDATASTRUCT *>(lParam)));
        return TRUE;
    case WM_DESTROY:
        OnDestroy(window);
        return TRUE;
    default:
        return FALSE;
    }
}
