#include "shell/startup.h"

#include <string>

#include "engine/korvel.h"
#include "player/player.h"
#include "shell/best_settings.h"
#include "shell/hotkeys.h"
#include "shell/shell_state.h"
#include "shell/tray.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/message_box.h"

namespace {

// Restores the current best from "PlayBest" and starts its first song.
bool StartCurrentBest() {
    std::string name;
    if (!ReadPlayBest(&name)) return false;
    SetCurrentBestName(name.c_str());
    if (!LoadCurrentBest()) return false;
    if (!PlayNextSong()) return false;
    BuildBestMenu(kRebuildBestMenu);
    return true;
}

}  // namespace

int RunStartupLoad() {
    UnloadBest();
    TakeCurrentHotkeys();
    if (!LoadDataFolder()) {
        ReportUnexpectedError(nullptr, false);
        return 0;
    }
    SetOption(OPT_REPEAT_ONE, 0);  // repeat-one never survives a restart
    SetRandomMode(TestOption(OPT_RANDOM), RandomChange::ShowOnly);

    if (!EngineInit()) {
        ReportUnexpectedError(nullptr, false);
        return 0;
    }
    TakeAltCheckIcons();
    if (TestOption(OPT_HOTKEYS) && !InstallHotkeyHook(true)) return 0;

    UnloadBest();
    UpdateTrayIcon(kTrayAdd, nullptr);
    if (StartCurrentBest()) return 1;

    // Nothing to play: the user has to choose or make a best first.
    SetCurrentBestName(nullptr);
    return OpenBestSettings(kModeBestRequired) ? 1 : 0;
}
