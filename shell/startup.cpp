#include "shell/startup.h"

#include <string>

#include "editor/data_boxes.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "shell/application.h"
#include "shell/hotkeys.h"
#include "store/store.h"
#include "utils/message_box.h"

namespace {

// Restores the current best from "PlayBest" and starts its first song, or
// the files of the command line, which choose no song of the best.  The
// best menu is built first: starting a song handles sent messages, and a
// command among them (another copy's, a hotkey's) finds the bests in place.
bool StartCurrentBest(Tray &tray, const Store &store, Player &player) {
    std::string name;
    if (!store.ReadPlayBest(&name)) return false;
    player.SetCurrentBestName(name.c_str());
    if (!player.LoadCurrentBest()) return false;
    tray.BuildBestMenu(BestMenuMode::Rebuild);
    if (player.HandedFilesWaiting() ? player.PlayHandedFiles() : player.PlayNextSong()) return true;
    // A share or drive not back yet at logon: the best waits, stopped, for
    // 再生 once it answers; the user was told.
    if (player.SongsOutOfReach()) return true;
    // Nothing played: the start-up dialog comes, and until it has chosen,
    // no command may pick a best of the menu.
    tray.ClearBestMenu();
    return false;
}

// Until the best file can be read, or the user gives up (false).  A file
// that cannot be read would otherwise look like one without bests, and the
// best settings dialog would replace it with the default best and delete
// every played history.
bool WaitForReadableBestFile(const Store &store) {
    while (store.ReadBestFileState() == best::BestFileState::Unreadable)
        if (!AskRetryUnreadableBestFile(nullptr)) return false;
    return true;
}

// Until "DataPath" names a folder that can be asked for its files, or the
// user gives up (false).  A folder out of reach (a share not yet reconnected
// at logon, a drive unplugged) is never taken for one without files: the
// program's folder would take its place and make the default best there.
bool LoadReachableDataFolder(Store &store) {
    for (;;) {
        std::string folder;
        switch (store.LoadDataFolder(&folder)) {
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
    Store &store = app.store();
    player.UnloadBest();
    if (!LoadReachableDataFolder(store)) return 0;
    player.SetRandomMode(store.option(Option::Random), RandomChange::ShowOnly);

    if (!EngineInit()) {
        ReportUnexpectedError(nullptr);
        return 0;
    }
    // The keys themselves are taken by the first song.
    app.mediaKeys().Use(store.settings().mediaKeys ? MediaKeySetting::On : MediaKeySetting::Off);
    if (store.option(Option::Hotkeys) && !InstallHotkeyHook(app.state(), store, HookFailure::EndsProgram)) return 0;

    player.UnloadBest();
    app.tray().UpdateIcon(TrayKind::Add, nullptr);
    if (!WaitForReadableBestFile(store)) return 0;
    if (StartCurrentBest(app.tray(), store, player)) return 1;

    // Nothing to play: the user has to choose or make a best first.
    player.SetCurrentBestName(nullptr);
    return app.editorHost().OpenBestSettings(BestSettingsOpener::Startup) ? 1 : 0;
}
