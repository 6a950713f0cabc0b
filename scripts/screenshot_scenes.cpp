// The program's own windows, opened the way a user opens them over a
// scratch MIDI folder and best file: the About view and the best settings
// dialog with the dialogs behind its buttons.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "screenshot_tool.h"
#include "shell/application.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/midi_writer.h"

namespace shots {
namespace {

// ---------------------------------------------------------------------------
// The best settings dialog: the program's own, opened the way the menu opens
// it, over a scratch MIDI folder and best file.

// The MIDI folder in folder-first order (sub-folders first, then files),
// and which files the best "お気に入り" holds: all of クラシック (with its
// folder marker), part of ゲーム音楽, none of 練習曲.
struct SceneFile {
    const char *path;  // below the MIDI folder
    bool favourite;
};
const char *const kSceneFolders[] = {"クラシック", "ゲーム音楽", "練習曲"};
const SceneFile kSceneFiles[] = {
    {"クラシック\\カノン.mid", true},       {"クラシック\\ジムノペディ.mid", true},
    {"ゲーム音楽\\ソナチネ.mid", false},    {"ゲーム音楽\\フィナーレ.mid", true},
    {"ゲーム音楽\\序曲.mid", true},         {"練習曲\\エチュード.mid", false},
    {"にぎやかな行進曲.mid", true},         {"子守歌.mid", false},
};
const char kAllBest[] = "すべてのMIDIファイル";
const char kFavouriteBest[] = "お気に入り";
const char kPartlyFolder[] = "ゲーム音楽";
const char kProgramKey[] = "Software\\Zarnith\\Tivorn";
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// What the scene's desktop holds.
const char *const kDesktopFolders[] = {"写真", "ダウンロードした曲"};

bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = bytes.empty() || fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}

// The scratch folder: the data files beside a MIDI folder of short songs.
class SceneFolder {
public:
    SceneFolder() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "tivorn-screenshots-" + std::to_string(GetCurrentProcessId());
        midi_ = dir_ + "\\MIDI";
        desktop_ = dir_ + "\\Desktop";
    }
    ~SceneFolder() {
        for (const SceneFile &file : kSceneFiles) DeleteFileA((midi_ + "\\" + file.path).c_str());
        for (const char *folder : kSceneFolders) RemoveDirectoryA((midi_ + "\\" + folder).c_str());
        RemoveDirectoryA(midi_.c_str());
        for (const char *folder : kDesktopFolders) RemoveDirectoryA((desktop_ + "\\" + folder).c_str());
        RemoveDirectoryA(desktop_.c_str());
        for (const char *name : {"KORVEL.dat", "KORVEL.ini"}) DeleteFileA((dir_ + "\\" + name).c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    SceneFolder(const SceneFolder &) = delete;
    SceneFolder &operator=(const SceneFolder &) = delete;

    bool Make() const {
        CreateDirectoryA(dir_.c_str(), nullptr);
        CreateDirectoryA(midi_.c_str(), nullptr);
        for (const char *folder : kSceneFolders) CreateDirectoryA((midi_ + "\\" + folder).c_str(), nullptr);
        CreateDirectoryA(desktop_.c_str(), nullptr);
        for (const char *folder : kDesktopFolders) CreateDirectoryA((desktop_ + "\\" + folder).c_str(), nullptr);
        for (const SceneFile &file : kSceneFiles)
            if (!midiw::Save(midi_ + "\\" + file.path, midiw::Tune({60, 64, 67}))) return false;
        // The default best (the folder's marker and every song) and the
        // favourites (クラシック whole, so with its marker).
        std::vector<std::string> all = {midi_ + "/"};
        std::vector<std::string> favourites = {midi_ + "\\" + kSceneFolders[0] + "/"};
        for (const SceneFile &file : kSceneFiles) {
            all.push_back(midi_ + "\\" + file.path);
            if (file.favourite) favourites.push_back(midi_ + "\\" + file.path);
        }
        bestbytes::Bytes bests =
            bestbytes::File({bestbytes::Record(kAllBest, all), bestbytes::Record(kFavouriteBest, favourites)});
        return WriteFileBytes(dir_ + "\\KORVEL.dat", bests) && WriteFileBytes(dir_ + "\\KORVEL.ini", {});
    }

    const std::string &dir() const { return dir_; }
    const std::string &midi() const { return midi_; }
    const std::string &desktop() const { return desktop_; }

private:
    std::string dir_, midi_, desktop_;
};

// A registry value of the user's for the time of the scene; what was there
// before comes back, and a key made for it goes again.
class SceneValue {
public:
    SceneValue(const char *key, const char *name, DWORD type, const std::string &value) : key_(key), name_(name) {
        HKEY opened;
        keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS;
        if (keyExisted_) {
            char old[MAX_PATH];
            DWORD size = sizeof old;
            if (RegQueryValueExA(opened, name, nullptr, &oldType_, reinterpret_cast<BYTE *>(old), &size) ==
                    ERROR_SUCCESS && (oldType_ == REG_SZ || oldType_ == REG_EXPAND_SZ)) {
                old_.assign(old, size ? size - 1 : 0);
                hadValue_ = true;
            }
            RegCloseKey(opened);
        }
        RegSetKeyValueA(HKEY_CURRENT_USER, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
    ~SceneValue() {
        if (!keyExisted_)
            RegDeleteTreeA(HKEY_CURRENT_USER, key_);
        else if (hadValue_)
            RegSetKeyValueA(HKEY_CURRENT_USER, key_, name_, oldType_, old_.c_str(),
                            static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key_, name_);
    }
    SceneValue(const SceneValue &) = delete;
    SceneValue &operator=(const SceneValue &) = delete;

private:
    const char *key_;
    const char *name_;
    bool keyExisted_ = false;
    bool hadValue_ = false;
    DWORD oldType_ = REG_SZ;
    std::string old_;
};

// A modal dialog the program opens from a button: the capture runs from a
// timer inside the dialog's own loop, then the dialog is closed as a user
// closes it (its close box).
struct ModalShot {
    Capture *capture;
    const char *name;
    HWND owner;
    DWORD deadline;
    void (*prepare)(HWND dialog);
    int ticksSeen;
    bool done;
};
ModalShot g_modalShot;

// The enabled dialog over owner: the one its button opened.
HWND ModalOver(HWND owner) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(window, className, ARRAYSIZE(className));
        if (window != owner && GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window) &&
            std::strcmp(className, "#32770") == 0)
            return window;
    }
    return nullptr;
}

void CALLBACK ModalTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    ModalShot &shot = g_modalShot;
    HWND dialog = ModalOver(shot.owner);
    if (!dialog && GetTickCount() < shot.deadline) return;
    if (!dialog) {
        KillTimer(nullptr, timer);
        return;
    }
    // The display shows a new window a moment after it is made visible.
    if (shot.ticksSeen++ == 0) {
        if (shot.prepare) shot.prepare(dialog);
        SetWindowPos(dialog, HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE);
    }
    if (shot.ticksSeen < 4) return;
    KillTimer(nullptr, timer);
    Settle(dialog);
    Report(*shot.capture, shot.name, SaveWindow(dialog, shot.capture->folder, shot.name));
    shot.done = true;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void ShootModal(Capture &capture, const char *name, HWND owner, int button, void (*prepare)(HWND)) {
    g_modalShot = {&capture, name, owner, GetTickCount() + 20000, prepare, 0, false};
    UINT_PTR timer = SetTimer(nullptr, 0, 100, ModalTimer);
    SendMessageA(owner, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(owner, button)));
    // A button that opened nothing leaves the timer running.
    KillTimer(nullptr, timer);
    if (!g_modalShot.done) Report(capture, name, false);
}

void TypeBestName(HWND dialog) { SetDlgItemTextA(dialog, IDC_BEST_NAME, "ドライブ用"); }

void ShowDialog(HWND dialog) {
    SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(dialog);
    Settle(dialog);
}

// Opens the dialog as the menu does with the check-mark look given, opens
// the partly checked folder (the tree fills it as it fills one the user
// opens), and captures it.  The plain look also shows the all-files tab
// with the drive of the scratch folder opened, and the dialogs behind its
// buttons.
void ShootBestSettings(Capture &capture, const char *name, bool alternative) {
    App().store().SetAltCheckIcons(alternative);
    if (!App().editorHost().OpenBestSettings(BestSettingsOpener::Menu)) {
        Report(capture, name, false);
        return;
    }
    HWND dialog = App().state().bestDialog;
    HWND tree = GetDlgItem(dialog, IDC_TREE);
    HTREEITEM root = TreeView_GetRoot(tree);
    HTREEITEM partly = root ? tt::ChildLabelled(tree, root, kPartlyFolder) : nullptr;
    if (partly) TreeView_Expand(tree, partly, TVE_EXPAND);
    ShowDialog(dialog);
    Report(capture, name, partly && SaveWindow(dialog, capture.folder, name));
    if (!partly) std::printf("%s: the tree has no folder %s\n", name, kPartlyFolder);

    if (!alternative) {
        ShootModal(capture, "106-advanced-settings", dialog, IDC_ADVANCED, nullptr);
        ShootModal(capture, "107-best-name", dialog, IDC_NEW_BEST, TypeBestName);

        tt::SwitchTab(dialog, 1);
        // My Computer is open and selected; its first drive shows its folders.
        HTREEITEM computer = TreeView_GetSelection(tree);
        HTREEITEM drive = computer ? TreeView_GetChild(tree, computer) : nullptr;
        if (drive) TreeView_Expand(tree, drive, TVE_EXPAND);
        ShowDialog(dialog);
        const char *allFiles = "105-best-settings-all-files";
        Report(capture, allFiles, drive && SaveWindow(dialog, capture.folder, allFiles));
        if (!drive) std::printf("%s: My Computer shows no drive\n", allFiles);
    }
    App().editorHost().CloseBestSettings(BestSettingsResult());
}

// The About view, opened by its menu command; its animation has run for a
// few ticks.
void ShootAbout(Capture &capture) {
    const char *name = "104-about";
    if (HWND resident = App().state().resident) SendMessageA(resident, WM_COMMAND, IDM_VERSION, 0);
    HWND about = App().about().window();
    bool ok = false;
    if (about) {
        SetWindowPos(about, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        for (int tick = 0; tick < 5; ++tick) SendMessageA(about, WM_TIMER, kAboutAnimationTimer, 0);
        Settle(about);
        ok = IsWindowVisible(about) && SaveWindow(about, capture.folder, name);
        SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    }
    Report(capture, name, ok);
}

}  // namespace

void ShootProgramScenes(Capture &capture) {
    SceneFolder scene;
    if (!scene.Make()) {
        std::printf("the scratch MIDI folder could not be made\n");
        for (const char *name : {"104-about", "105-best-settings", "105-best-settings-alt"}) Report(capture, name, false);
        return;
    }
    SceneValue root(kProgramKey, "Root", REG_SZ, scene.midi());
    // The all-files tab lists the desktop's folders; Wine's desktop is the
    // Unix home, which is no user's desktop.
    SceneValue desktop(kUserShellFolders, "Desktop", REG_EXPAND_SZ, scene.desktop());
    App().state().resident = App().CreateResidentWindow();
    App().store().UseDataFolder(scene.dir().c_str());
    EngineInit();
    // Settings as a user would have them: one option ticked, the usual
    // priority, both hotkeys chosen.
    unsigned char settings[kSettingsSize] = {};
    settings[4] = 2;  // 通常
    App().store().UseSettings(settings, sizeof settings);
    App().store().SetOption(Option::Random, 1);
    App().store().SetHotkeys(MAKEWORD('N', HOTKEYF_CONTROL | HOTKEYF_ALT), MAKEWORD('M', HOTKEYF_CONTROL | HOTKEYF_ALT));
    App().player().SetCurrentBestName(kFavouriteBest);

    ShootAbout(capture);
    ShootBestSettings(capture, "105-best-settings", false);
    ShootBestSettings(capture, "105-best-settings-alt", true);

    App().player().SetCurrentBestName(nullptr);
    // The program's own exit: the engine closed, then the window destroyed
    // once the quit message it posts is taken.
    App().RequestExit(ExitReason::ExitCommand);
    App().RunMessageLoop();
    App().store().UseDataFolder(store::DataFolder{});
    App().store().UseSettings(nullptr, 0);
}

}  // namespace shots
