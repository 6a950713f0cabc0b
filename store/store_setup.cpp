#include "store/store_setup.h"

#include <algorithm>
#include <cstring>

#include "engine/korvel.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/ansi_text.h"

bool UseDataFolder(const char *folder) {
    store::DataFolder files;
    if (!folder || !store::FormDataFolder(folder, &files)) return false;
    UseDataFolder(files);
    return true;
}

void UseDataFolder(const store::DataFolder &files) {
    ansi::CopyFit(g_store.dataFolder, sizeof g_store.dataFolder, files.folder.c_str());
    ansi::CopyFit(g_store.settingsFile, sizeof g_store.settingsFile, files.settingsFile.c_str());
    ansi::CopyFit(g_store.bestFile, sizeof g_store.bestFile, files.bestFile.c_str());
}

void UseSettings(const unsigned char *block, size_t size) {
    g_settings = SettingsState{};
    if (block) std::memcpy(g_settings.block, block, std::min(size, sizeof g_settings.block));
    TakeCurrentHotkeys();
    TakeAltCheckIcons();
}

void UseRegistryRoot(const RegistryRoot &root) {
    g_store.root = root;
    SetSettingsKey(root.program.c_str());
}

void ResetStore() {
    RegistryRoot root = g_store.root;
    g_store = StoreState{};
    g_store.root = root;
    g_settings = SettingsState{};
}
