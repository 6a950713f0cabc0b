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

void ShellEditorHost::BestSettingsOpening(HWND dialog) {
    shell_.bestDialog = dialog;
    shell_.modeless.Add(dialog);
}

void ShellEditorHost::ForgetBestSettings() {
    shell_.modeless.Remove(shell_.bestDialog);
    shell_.bestDialog = nullptr;
}

bool ShellEditorHost::OpenBestSettings(BestSettingsOpener opener) {
    // The dialog that start-up opens by itself may come up behind the
    // windows the user works in (a start at logon): its own taskbar button
    // and the foreground, where Windows grants it, show that it waits.
    bool byItself = opener == BestSettingsOpener::Startup;
    HWND dialog = BestSettingsDialog::Create(shell_.instance, shell_.resident, this, store_,
                                             byItself ? TaskbarButton::Own : TaskbarButton::None);
    if (!dialog) {
        ForgetBestSettings();
        return false;
    }
    if (byItself) SetForegroundWindow(dialog);
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
    bool required = BestSettingsRequired(shell_);
    // Nor can the dialog be clicked while a box is up.
    if (dialog) EnableWindow(dialog, FALSE);
    if (dialog && player_.PreviewOwner() == dialog) player_.ResumeAfterPreview(AfterPreview::Resume);
    ApplyBestSettings(result, required);
    ForgetBestSettings();
    if (dialog) DestroyWindow(dialog);
    if (player_.HandedFilesWaiting()) player_.PlayHandedFiles();
    if (shell_.reopenBestSettings) {
        shell_.reopenBestSettings = false;
        closed.Run();
        if (!OpenBestSettings(BestSettingsOpener::Menu)) ReportUnexpectedError(shell_.resident, exit_);
    }
}

void ShellEditorHost::ApplyBestSettings(const BestSettingsResult &result, bool required) {
    if (result.randomChanged) player_.SetRandomMode(!store_.option(Option::Random), RandomChange::Switch);
    if (result.bestListChanged || required) tray_.BuildBestMenu(kRebuildBestMenu);
    // Without a current best (no best at all) there is nothing to switch to;
    // the player stays without a best until one is made.  Files handed over
    // while the dialog was open waited for it: they play first.
    if (!player_.CurrentBestName()) return;
    if (result.bestToPlayChanged || required)
        player_.SwitchBest(AfterSwitch::Play, HandedFiles::Keep);
    else if (result.playingBestSaved)
        player_.ReloadCurrentBest();
}
