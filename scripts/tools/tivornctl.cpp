// Sends one command to the running Tivorn, as the tray menu or a hotkey would,
// or renders a song into a WAV file through the built-in synthesizer.
// showmenu opens the tray menu at the notification-area icon with its
// output submenu open, for a picture of Tivorn at work (make run), and
// hidemenu closes it again.
//
//   tivornctl exit | next | rewind | stop | nextbest | restart | menu | showmenu | hidemenu
//   tivornctl render [--dry] SONG.mid SOUNDFONT.sf2 OUT.wav
//
// Exit code 0 when a running copy took the command (or the WAV was written),
// 1 when none runs (or a file could not be read or written), 2 on a usage
// error.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/resident_window.h"
#include "render_command.h"
#include "resources/resource_ids.h"

namespace {

struct Command {
    const char *name;
    bool menuCommand;  // WM_COMMAND id, else a WM_COPYDATA code
    unsigned value;
};

const Command kCommands[] = {
    {"exit", true, IDM_EXIT},
    {"next", false, TIVORN_CODE_NEXT},
    {"rewind", false, TIVORN_CODE_REWIND},
    {"stop", false, TIVORN_CODE_STOP},
    {"nextbest", false, TIVORN_CODE_NEXT_BEST},
    {"restart", false, TIVORN_CODE_RESTART},
    {"menu", false, TIVORN_CODE_MENU},
};

// The menus' window class.
const char kMenuClass[] = "#32768";

int VisibleMenus() {
    int count = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, kMenuClass, nullptr); w;
         w = FindWindowExA(nullptr, w, kMenuClass, nullptr))
        if (IsWindowVisible(w)) ++count;
    return count;
}

bool WaitForMenus(int count) {
    for (int i = 0; i < 50; ++i) {
        if (VisibleMenus() >= count) return true;
        Sleep(100);
    }
    return false;
}

void Press(WORD key) {
    INPUT keys[2] = {};
    for (INPUT &input : keys) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof keys[0]);
}

// Esc closes one menu level at a time.
int HideMenu() {
    for (int i = 0; i < 20 && VisibleMenus() > 0; ++i) {
        Press(VK_ESCAPE);
        Sleep(100);
    }
    return VisibleMenus() == 0 ? 0 : 1;
}

// The menu opens at the cursor, so the cursor goes to the icon first:
// the notification area is Wine's own window where no desktop panel runs.
// Then 出力先(&D) is chosen by its key, as a user would open it.
int ShowMenu(HWND window) {
    HWND area = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!area) area = FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect;
    // Just under the icon (the area's first), so that the menu leaves it in sight.
    if (area && GetWindowRect(area, &rect)) SetCursorPos(rect.left + 10, rect.bottom);
    COPYDATASTRUCT data = {TIVORN_CODE_MENU, 0, nullptr};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &result);
    if (!WaitForMenus(1)) {
        std::fprintf(stderr, "the tray menu did not open\n");
        return 1;
    }
    Press('D');
    if (!WaitForMenus(2)) {
        std::fprintf(stderr, "the output submenu did not open\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return RenderCommand(argc - 2, argv + 2);
    if (argc == 2 && std::strcmp(argv[1], "hidemenu") == 0) return HideMenu();
    if (argc == 2 && std::strcmp(argv[1], "showmenu") == 0) {
        HWND window = FindTivornWindow();
        if (!window) {
            std::fprintf(stderr, "Tivorn is not running\n");
            return 1;
        }
        return ShowMenu(window);
    }
    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (argc == 2 && std::strcmp(argv[1], c.name) == 0) command = &c;
    if (!command) {
        std::fprintf(stderr, "usage: tivornctl exit|next|rewind|stop|nextbest|restart|menu|showmenu|hidemenu\n"
                     "       tivornctl render [--dry] SONG.mid SOUNDFONT.sf2 OUT.wav\n");
        return 2;
    }
    HWND window = FindTivornWindow();
    if (!window) {
        std::fprintf(stderr, "Tivorn is not running\n");
        return 1;
    }
    if (command->menuCommand) {
        PostMessageA(window, WM_COMMAND, command->value, 0);
    } else {
        COPYDATASTRUCT data = {command->value, 0, nullptr};
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                            &result);
    }
    return 0;
}
