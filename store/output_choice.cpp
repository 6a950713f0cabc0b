#include "store/output_choice.h"

#include <windows.h>

#include <cstring>

#include "engine/korvel.h"
#include "store/store.h"
#include "engine/registry_names.h"

std::string ReadOutputValue(const Store &store) {
    // "midi:name:" with the longest name, or "log:" with the longest path.
    char text[outputs::kMaxLogPathBytes + 8] = {};
    if (!ReadValue(store.EngineKey(), kValueOutput, text, sizeof text, REG_SZ, HKEY_CURRENT_USER)) return std::string();
    return text;
}

outputs::OutputSetting ReadOutputChoice(const Store &store) {
    std::string value = ReadOutputValue(store);
    return outputs::ParseOutputSetting(value.data(), value.size());
}

void WriteOutputValue(const Store &store, const std::string &value) {
    WriteValue(store.EngineKey(), kValueOutput, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
}

std::string ReadLastSoundFont(const Store &store) {
    char path[outputs::kMaxSoundFontPathBytes + 1] = {};
    if (!ReadValue(store.EngineKey(), kValueSoundFont, path, sizeof path, REG_SZ, HKEY_CURRENT_USER))
        return std::string();
    return path;
}

void WriteLastSoundFont(const Store &store, const std::string &path) {
    WriteValue(store.EngineKey(), kValueSoundFont, path.c_str(), static_cast<DWORD>(path.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
}
