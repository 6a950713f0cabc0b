#include "shell/shell_state.h"

AppMode ModeWithoutBestSettings(const ShellState &shell) {
    return shell.resident && IsWindowVisible(shell.resident) ? kModeAbout : kModeIdle;
}
