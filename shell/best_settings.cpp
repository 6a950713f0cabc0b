#include "shell/best_settings.h"

#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "shell/hotkeys.h"
#include "shell/resident_window.h"
#include "shell/tray.h"
#include "store/settings.h"
#include "utils/scope_guard.h"

namespace {

class ShellEditorHost : public EditorHost {
public:
    void CloseBestSettings(int flags) override { ::CloseBestSettings(flags); }
    bool HotkeyHookInstalled() override { return g_shell.hook != nullptr; }
    void SetHotkeyHook(bool on) override {
        if (on)
            InstallHotkeyHook(false);
        else
            RemoveHotkeyHook();
    }
    void SetDialogKeys(DialogKeys keys) override {
        switch (keys) {
        case DialogKeys::LabelEditing: g_shell.appMode = kModeLabelEdit; break;
        case DialogKeys::OkRequired: g_shell.appMode = kModeBestRequired; break;
        case DialogKeys::FromMenu: g_shell.appMode = kModeBestFromMenu; break;
        }
    }
};

ShellEditorHost g_editorHost;

}  // namespace

bool OpenBestSettings(AppMode mode) {
    g_shell.appMode = mode;
    g_shell.bestDialog = BestSettingsDialog::Create(g_shell.instance, g_shell.resident, &g_editorHost);
    if (!g_shell.bestDialog) g_shell.appMode = ModeWithoutBestSettings();
    return g_shell.bestDialog != nullptr;
}

void CloseBestSettings(int flags) {
    // Applying the flags can show a box (a song that cannot be played) while
    // the dialog still stands: a close that reaches it meanwhile finds this
    // one under way and leaves it to finish.
    if (g_shell.closingBestSettings) return;
    g_shell.closingBestSettings = true;
    ScopeGuard closed([] { g_shell.closingBestSettings = false; });
    HWND dialog = g_shell.bestDialog;
    // Nor can the dialog be clicked while a box is up.
    if (dialog) EnableWindow(dialog, FALSE);
    if (dialog && PlaybackOwner() == dialog) ResumeAfterPreview(AfterPreview::Resume);
    if (flags & kCloseRandomChanged) SetRandomMode(!TestOption(OPT_RANDOM), RandomChange::Switch);
    bool required = g_shell.appMode == kModeBestRequired;
    if ((flags & kCloseBestListChanged) || required) BuildBestMenu(kRebuildBestMenu);
    // Without a current best (no best at all) there is nothing to switch to;
    // the player stays without a best until one is made.
    if (CurrentBestName()) {
        if ((flags & kCloseBestToPlayChanged) || required)
            SwitchBest(AfterSwitch::Play);
        else if (flags & kClosePlayingBestSaved)
            SwitchBest(AfterSwitch::Wait);
    }
    g_shell.bestDialog = nullptr;
    if (dialog) DestroyWindow(dialog);
    g_shell.appMode = ModeWithoutBestSettings();
}
