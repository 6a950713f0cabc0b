#include "shell/startup.h"

#include <string>

#include "editor/data_boxes.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "shell/application.h"
#include "shell/hotkeys.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/message_box.h"

namespace {

// Restores the current best from "PlayBest" and starts its first song, or
// the files of the command line, which choose no song of the best.
bool StartCurrentBest(Tray &tray, Player &player) {
    std::string name;
    if (!ReadPlayBest(&name)) return false;
    player.SetCurrentBestName(name.c_str());
    if (!player.LoadCurrentBest()) return false;
    if (!(player.HandedFilesWaiting() ? player.PlayHandedFiles() : player.PlayNextSong())) return false;
    tray.BuildBestMenu(kRebuildBestMenu);
    return true;
}

// Until the best file can be read, or the user gives up (false).  A file
// that cannot be read would otherwise look like one without bests, and the
// best settings dialog would replace it with the default best and delete
// every played history.
bool WaitForReadableBestFile() {
    while (ReadBestFileState() == best::BestFileState::Unreadable)
        if (!AskRetryUnreadableBestFile(nullptr)) return false;
    return true;
}

// Until "DataPath" names a folder that can be asked for its files, or the
// user gives up (false).  A folder out of reach (a share not yet reconnected
// at logon, a drive unplugged) is never taken for one without files: the
// program's folder would take its place and make the default best there.
bool LoadReachableDataFolder() {
    for (;;) {
        std::string folder;
        switch (LoadDataFolder(&folder)) {
        case store::Resolution::Resolved: return true;
        case store::Resolution::Unusable: ReportUnexpectedError(nullptr); return false;
        case store::Resolution::Unreachable:
            if (!AskRetryUnreachableFolder(nullptr, folder.c_str(), FolderWait::Start)) return false;
            break;
        }
    }
}

}  // namespace

int RunStartupLoad(Application &app) {
    Player &player = app.player();
    player.UnloadBest();
    TakeCurrentHotkeys();
    if (!LoadReachableDataFolder()) return 0;
    player.SetRandomMode(TestOption(OPT_RANDOM), RandomChange::ShowOnly);

    if (!EngineInit()) {
        ReportUnexpectedError(nullptr);
        return 0;
    }
    TakeAltCheckIcons();
    TakeMediaKeys();
    // The keys themselves are taken by the first song.
    app.mediaKeys().Use(g_settings.mediaKeys ? MediaKeySetting::On : MediaKeySetting::Off);
    if (TestOption(OPT_HOTKEYS) && !InstallHotkeyHook(app.shell(), HookFailure::EndsProgram)) return 0;

    player.UnloadBest();
    app.tray().UpdateIcon(kTrayAdd, nullptr);
    if (!WaitForReadableBestFile()) return 0;
    if (StartCurrentBest(app.tray(), player)) return 1;

    // Nothing to play: the user has to choose or make a best first.
    player.SetCurrentBestName(nullptr);
    return app.editorHost().OpenBestSettings(BestSettingsOpener::Startup) ? 1 : 0;
}
