#include "shell/shell_state.h"

#include "shell/popup_menu.h"

ShellState::~ShellState() { UnloadPopupMenu(*this); }

AppMode ModeWithoutBestSettings(const ShellState &shell) {
    return shell.resident && IsWindowVisible(shell.resident) ? kModeAbout : kModeIdle;
}
