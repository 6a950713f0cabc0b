#include "store/startup.h"

#include <vector>

#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "shell/errors.h"
#include "shell/shell_state.h"
#include "shell/tray.h"
#include "store/best_file.h"
#include "store/registry_layout.h"
#include "store/settings.h"

namespace {

// The current best name from "PlayBest".  A value longer than any name the
// best file can hold finds no best, and is not read at all.
bool ReadPlayBest() {
    SetCurrentBestName(nullptr);
    DWORD size = ReadValue(kProgramKey, kValuePlayBest, nullptr, 0, REG_SZ, HKEY_CURRENT_USER);
    if (size == 0 || size > MAX_PATH) return false;
    char name[MAX_PATH];
    if (!ReadValue(kProgramKey, kValuePlayBest, name, sizeof name, REG_SZ, HKEY_CURRENT_USER)) return false;
    SetCurrentBestName(name);
    return true;
}

// Restores the current best and starts its first song.
bool StartCurrentBest() {
    if (!ReadPlayBest() || !LoadCurrentBest()) return false;
    if (!NextSong(TestOption(OPT_RANDOM), 0)) return false;
    BuildBestMenu(0);
    return true;
}

}  // namespace

int RunStartupLoad() {
    g_player.songs.currentSong = nullptr;
    g_player.songs.position = 0;
    g_settings.currentHotkeys[0] = HotkeyField(g_settings.block, 0);
    g_settings.currentHotkeys[1] = HotkeyField(g_settings.block, 1);
    if (!LoadDataFolder()) {
        ReportUnexpectedError(false);
        return 0;
    }
    SetOption(OPT_REPEAT_ONE, 0);  // repeat-one never survives a restart
    SetRandomMode(TestOption(OPT_RANDOM), 0);

    if (!EngineInit()) {
        ReportUnexpectedError(false);
        return 0;
    }
    g_settings.altCheckIcons = TestOption(OPT_ALT_CHECK_ICONS) != 0;
    if (TestOption(OPT_HOTKEYS) && !InstallHotkeyHook(1)) return 0;

    LoadPlayerBest(&g_player.songs, best::BestRecord());
    UpdateTrayIcon(kTrayAdd, nullptr);
    if (StartCurrentBest()) return 1;

    // Nothing to play: the user has to choose or make a best first.
    SetCurrentBestName(nullptr);
    g_shell.appMode = kModeBestRequired;
    g_shell.bestDialog = CreateBestSettingsDialog(g_shell.resident);
    return g_shell.bestDialog ? 1 : 0;
}
