#include "shell/application.h"

#include <commctrl.h>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "shell/hotkeys.h"
#include "shell/message_loop.h"
#include "shell/out_of_memory.h"
#include "shell/popup_menu.h"
#include "shell/resident_window.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/tray.h"
#include "store/settings.h"
#include "utils/message_box.h"

namespace {

const char kNotInstalled[] =
    "Tivorn はインストールされていません。\nセットアップを実行してください。";

void InitControlClasses() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace

void ShutdownShell() {
    UnloadPopupMenu();
    UpdateTrayIcon(kTrayRemove, nullptr);
    RemoveHotkeyHook();
}

int RunTivorn(HINSTANCE instance, const char *commandLine) {
    InstallOutOfMemoryHandler();

    // One copy per user: a second start passes its command line on and ends
    // without reading anything.
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
        ReportUnexpectedError(nullptr, false);
        return 0;
    }
    g_shell.resident = resident;

    LoadPopupMenu();
    // A failed start-up load has reported itself; the loop then only handles
    // what is already queued and the shutdown still runs.
    if (!RunStartupLoad()) PostQuitMessage(0);

    int exitCode = RunMessageLoop();
    ShutdownShell();
    return exitCode;
}
