#include "store/output_choice.h"

#include <windows.h>

#include <cstring>

#include "engine/korvel.h"
#include "store/best_file.h"
#include "engine/registry_names.h"

std::string ReadOutputValue() {
    // "midi:name:" with the longest name, or "log:" with the longest path.
    char text[outputs::kMaxLogPathBytes + 8] = {};
    if (!ReadValue(EngineKey(), kValueOutput, text, sizeof text, REG_SZ, HKEY_CURRENT_USER)) return std::string();
    return text;
}

outputs::OutputSetting ReadOutputChoice() {
    std::string value = ReadOutputValue();
    return outputs::ParseOutputSetting(value.data(), value.size());
}

void WriteOutputValue(const std::string &value) {
    WriteValue(EngineKey(), kValueOutput, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
}
