// The application's part as the best settings dialog sees it, with what the
// dialog asked of it kept for the test.  Closing destroys `dialog` when one
// is set, as the application's close does.
#ifndef TIVORN_TESTING_FAKE_EDITOR_HOST_H
#define TIVORN_TESTING_FAKE_EDITOR_HOST_H

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "editor/best_settings_dialog.h"

namespace tt {

// A close's result by the changes it names, as in
// Closed({&BestSettingsResult::bestListChanged}).
inline BestSettingsResult Closed(std::initializer_list<bool BestSettingsResult::*> changes) {
    BestSettingsResult result;
    for (bool BestSettingsResult::*change : changes) result.*change = true;
    return result;
}

class FakeEditorHost : public EditorHost {
public:
    // The player over the test's store, which outlives the host.
    explicit FakeEditorHost(Store &store) : player_(store) {}

    void CloseBestSettings(const BestSettingsResult &closed) override {
        result = closed;
        ++closes;
        if (dialog) DestroyWindow(dialog);
    }
    bool HotkeyHookInstalled() override { return installed; }
    void SetHotkeyHook(bool on) override { installed = on; }
    Player &player() override { return player_; }
    void BestSettingsOpening(HWND) override {}

    void RequestExit(ExitReason reason) override { exits.push_back(reason); }

    HWND dialog = nullptr;
    std::vector<ExitReason> exits;
    BestSettingsResult result;
    int closes = 0;
    bool installed = false;  // the hotkey hook
    Player player_;  // over the engine library and the test's store, reporting to nobody
};

}  // namespace tt

#endif
