// Sends one command to the running Tivorn, as the tray menu or a hotkey would,
// or renders a song into a WAV file through the built-in synthesizer.
//
//   tivornctl exit | next | rewind | stop | nextbest | restart | menu
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

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return RenderCommand(argc - 2, argv + 2);
    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (argc == 2 && std::strcmp(argv[1], c.name) == 0) command = &c;
    if (!command) {
        std::fprintf(stderr, "usage: tivornctl exit|next|rewind|stop|nextbest|restart|menu\n"
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
