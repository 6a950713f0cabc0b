#include "shell/shell_state.h"

#include "editor/best_settings_dialog.h"
#include "shell/popup_menu.h"

ShellState::~ShellState() { UnloadPopupMenu(*this); }

bool ShellIdle(const ShellState &shell) { return shell.modeless.Empty(); }

bool BestSettingsRequired(const ShellState &shell) {
    const BestSettingsDialog *dialog = shell.bestDialog ? BestSettingsDialog::From(shell.bestDialog) : nullptr;
    return dialog && dialog->PlayerWaits();
}
