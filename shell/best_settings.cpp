#include "shell/best_settings.h"

#include "engine/korvel.h"
#include "player/player.h"
#include "shell/hotkeys.h"
#include "store/store.h"
#include "utils/scope_guard.h"

void ShellEditorHost::SetHotkeyHook(bool on) {
    if (on)
        InstallHotkeyHook(shell_, store_, HookFailure::GoesOn);
    else
        RemoveHotkeyHook(shell_);
}

void ShellEditorHost::SetMediaKeys(bool on) {
    mediaKeys_.Use(on ? MediaKeySetting::On : MediaKeySetting::Off);
}

void ShellEditorHost::SetDialogKeys(DialogKeys keys) {
    switch (keys) {
    case DialogKeys::LabelEditing:
        // The mode to go back to: whether the close must switch the best
        // does not change with an album name.
        if (shell_.appMode != kModeLabelEdit) modeBeforeLabelEdit_ = shell_.appMode;
        shell_.appMode = kModeLabelEdit;
        break;
    case DialogKeys::LabelEdited:
        if (shell_.appMode == kModeLabelEdit) shell_.appMode = modeBeforeLabelEdit_;
        break;
    case DialogKeys::Required: shell_.appMode = kModeBestRequired; break;
    case DialogKeys::FromMenu: shell_.appMode = kModeBestFromMenu; break;
    }
}

bool ShellEditorHost::OpenBestSettings(AppMode mode) {
    shell_.appMode = mode;
    // The dialog that start-up opens by itself may come up behind the
    // windows the user works in (a start at logon): its own taskbar button
    // and the foreground, where Windows grants it, show that it waits.
    bool required = mode == kModeBestRequired;
    shell_.bestDialog = BestSettingsDialog::Create(shell_.instance, shell_.resident, this, store_,
                                                   required ? TaskbarButton::Own : TaskbarButton::None);
    if (!shell_.bestDialog) {
        shell_.appMode = ModeWithoutBestSettings(shell_);
        return false;
    }
    if (required) SetForegroundWindow(shell_.bestDialog);
    return true;
}

void ShellEditorHost::CloseBestSettings(const BestSettingsResult &result) {
    // Applying the result can show a box (a song that cannot be played)
    // while the dialog still stands: a close that reaches it meanwhile finds
    // this one under way and leaves it to finish.
    if (shell_.closingBestSettings) return;
    shell_.closingBestSettings = true;
    ScopeGuard closed([this] { shell_.closingBestSettings = false; });
    HWND dialog = shell_.bestDialog;
    // Nor can the dialog be clicked while a box is up.
    if (dialog) EnableWindow(dialog, FALSE);
    if (dialog && player_.PreviewOwner() == dialog) player_.ResumeAfterPreview(AfterPreview::Resume);
    ApplyBestSettings(result);
    shell_.bestDialog = nullptr;
    if (dialog) DestroyWindow(dialog);
    shell_.appMode = ModeWithoutBestSettings(shell_);
    if (player_.HandedFilesWaiting()) player_.PlayHandedFiles();
}

void ShellEditorHost::ApplyBestSettings(const BestSettingsResult &result) {
    if (result.randomChanged) player_.SetRandomMode(!store_.option(Option::Random), RandomChange::Switch);
    bool required = shell_.appMode == kModeBestRequired;
    if (result.bestListChanged || required) tray_.BuildBestMenu(kRebuildBestMenu);
    // Without a current best (no best at all) there is nothing to switch to;
    // the player stays without a best until one is made.  Files handed over
    // while the dialog was open waited for it: they play first.
    if (!player_.CurrentBestName()) return;
    if (result.bestToPlayChanged || required)
        player_.SwitchBest(AfterSwitch::Play, HandedFiles::Keep);
    else if (result.playingBestSaved)
        player_.SwitchBest(AfterSwitch::Wait, HandedFiles::Keep);
}
