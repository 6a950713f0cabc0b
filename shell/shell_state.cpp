#include "shell/shell_state.h"

#include "editor/best_settings_dialog.h"
#include "shell/popup_menu.h"

ShellState::~ShellState() { UnloadPopupMenu(*this); }

// A modal window over the resident window (the SoundFont dialog, a message
// box) disables it: the menu waits for it as for the modeless ones.
bool ShellIdle(const ShellState &shell) {
    return shell.modeless.Empty() && (!shell.resident || IsWindowEnabled(shell.resident));
}

bool BestSettingsRequired(const ShellState &shell) {
    const BestSettingsDialog *dialog = shell.bestDialog ? BestSettingsDialog::From(shell.bestDialog) : nullptr;
    return dialog && dialog->PlayerWaits();
}
