// Program entry: single instance, settings check, the resident window, the
// popup menu, the start-up load, the message loop and the orderly shutdown.
#include <windows.h>
#include <commctrl.h>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "shell/errors.h"
#include "shell/message_loop.h"
#include "shell/popup_menu.h"
#include "shell/resident_window.h"
#include "shell/shell_state.h"
#include "shell/tray.h"
#include "store/settings.h"
#include "store/startup.h"
#include "resources/resource_ids.h"

namespace {

const char kNotInstalled[] =
    "Tivorn はインストールされていません。\nセットアップを実行してください。";

void InitControlClasses() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

void Shutdown() {
    UnloadPopupMenu();
    UpdateTrayIcon(kTrayRemove, nullptr);
    RemoveHotkeyHook();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    InstallOutOfMemoryHandler();

    if (HWND running = FindTivornWindow()) {
        HandOver(commandLine, running);
        return 0;
    }

    g_shell.instance = instance;
    if (LoadSettings() != LoadResult::Ready) {
        ShowMessage(nullptr, kNotInstalled, MB_OK | MB_ICONERROR);
        return 0;
    }

    InitControlClasses();
    g_shell.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    HWND resident = CreateResidentWindow();
    if (!resident) {
        ReportUnexpectedError(false);
        return 0;
    }
    g_shell.resident = resident;

    LoadPopupMenu();
    if (!RunStartupLoad()) PostQuitMessage(0);

    int exitCode = RunMessageLoop();
    Shutdown();
    return exitCode;
}
