#include "shell/application_editor_host.h"

#include "engine/korvel.h"
#include "player/player.h"
#include "shell/hotkeys.h"
#include "store/store.h"
#include "utils/scope_guard.h"

void ApplicationEditorHost::SetHotkeyHook(bool on) {
    if (on)
        InstallHotkeyHook(state_, store_, HookFailure::GoesOn);
    else
        RemoveHotkeyHook(state_);
}

void ApplicationEditorHost::BestSettingsOpening(HWND dialog) {
    state_.bestDialog = dialog;
    state_.modeless.Add(dialog);
}

void ApplicationEditorHost::ForgetBestSettings() {
    state_.modeless.Remove(state_.bestDialog);
    state_.bestDialog = nullptr;
}

bool ApplicationEditorHost::OpenBestSettings(BestSettingsOpener opener) {
    // The dialog that start-up opens by itself may come up behind the
    // windows the user works in (a start at logon): its own taskbar button
    // and the foreground, where Windows grants it, show that it waits.
    bool byItself = opener == BestSettingsOpener::Startup;
    HWND dialog = BestSettingsDialog::Create(state_.instance, state_.resident, this, store_,
                                             byItself ? TaskbarButton::Own : TaskbarButton::None);
    if (!dialog) {
        ForgetBestSettings();
        return false;
    }
    if (byItself) SetForegroundWindow(dialog);
    return true;
}

void ApplicationEditorHost::CloseBestSettings(const BestSettingsResult &result) {
    // Applying the result can show a box (a song that cannot be played)
    // while the dialog still stands: a close that reaches it meanwhile finds
    // this one under way and leaves it to finish.
    if (state_.closingBestSettings) return;
    state_.closingBestSettings = true;
    ScopeGuard closed([this] { state_.closingBestSettings = false; });
    HWND dialog = state_.bestDialog;
    bool required = BestSettingsRequired(state_);
    // Nor can the dialog be clicked while a box is up.
    if (dialog) EnableWindow(dialog, FALSE);
    if (dialog && player_.PreviewWindow() == dialog) player_.ResumeAfterPreview(AfterPreview::Resume);
    ApplyBestSettings(result, required);
    ForgetBestSettings();
    if (dialog) DestroyWindow(dialog);
    if (player_.HandedFilesWaiting()) player_.PlayHandedFiles();
    if (state_.reopenBestSettings) {
        state_.reopenBestSettings = false;
        closed.Run();
        if (!OpenBestSettings(BestSettingsOpener::Menu)) ReportUnexpectedError(state_.resident, exit_);
    }
}

void ApplicationEditorHost::ApplyBestSettings(const BestSettingsResult &result, bool required) {
    if (result.randomChanged) player_.SetRandomMode(!store_.option(Option::Random), RandomChange::Switch);
    if (result.bestListChanged || required) tray_.BuildBestMenu(BestMenuMode::Rebuild);
    // Without a current best (no best at all) there is nothing to switch to;
    // the player stays without a best until one is made.  Files handed over
    // while the dialog was open waited for it: they play first.
    if (!player_.CurrentBestName()) return;
    if (result.bestToPlayChanged || required)
        player_.SwitchBest(AfterSwitch::Play, HandedFiles::Keep);
    else if (result.playingBestSaved)
        player_.ReloadCurrentBest();
}
