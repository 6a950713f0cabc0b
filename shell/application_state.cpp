#include "shell/application_state.h"

#include "editor/best_settings_dialog.h"
#include "shell/popup_menu.h"

ApplicationState::~ApplicationState() { UnloadPopupMenu(*this); }

// A modal window over the resident window (the SoundFont dialog, a message
// box) disables it: the menu waits for it as for the modeless ones.
bool ApplicationIdle(const ApplicationState &state) {
    return state.modeless.Empty() && (!state.resident || IsWindowEnabled(state.resident));
}

bool BestSettingsRequired(const ApplicationState &state) {
    const BestSettingsDialog *dialog = state.bestDialog ? BestSettingsDialog::From(state.bestDialog) : nullptr;
    return dialog && dialog->PlayerWaits();
}
