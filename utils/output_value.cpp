#include "utils/output_value.h"

#include <cstring>

namespace outputs {
namespace {

// prefix is lower-case ASCII; a double-byte character never matches it.
bool StartsWithNoCase(const char *text, size_t size, const char *prefix) {
    size_t n = std::strlen(prefix);
    if (size < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

OutputSetting ParseOutputSetting(const char *text, size_t size) {
    OutputSetting setting;
    if (!text || size == 0) return setting;
    if (std::memchr(text, 0, size)) {  // an embedded NUL: not a value anyone wrote on purpose
        setting.kind = OutputSetting::Invalid;
        return setting;
    }
    if (StartsWithNoCase(text, size, "midi:name:")) {
        // Any bytes the driver chose, but no more than the system's buffer holds.
        size_t length = size - 10;
        if (length >= 1 && length <= kMaxDeviceNameBytes) {
            setting.kind = OutputSetting::DeviceName;
            setting.deviceName.assign(text + 10, length);
            return setting;
        }
    } else if (StartsWithNoCase(text, size, "midi:")) {
        // Device numbers are small; more than five digits is a typo.
        size_t digits = size - 5;
        unsigned value = 0;
        bool ok = digits >= 1 && digits <= 5;
        for (size_t i = 5; ok && i < size; ++i) {
            if (text[i] < '0' || text[i] > '9')
                ok = false;
            else
                value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        if (ok && value <= 0xFFFF) {
            setting.kind = OutputSetting::Device;
            setting.device = value;
            return setting;
        }
    } else if (StartsWithNoCase(text, size, "synth:")) {
        size_t length = size - 6;
        if (length >= 1 && length <= kMaxSoundFontPathBytes) {
            setting.kind = OutputSetting::Synth;
            setting.soundFontPath.assign(text + 6, length);
            return setting;
        }
    } else if (StartsWithNoCase(text, size, "log:")) {
        size_t length = size - 4;
        if (length >= 1 && length <= kMaxLogPathBytes) {
            setting.kind = OutputSetting::Log;
            setting.logPath.assign(text + 4, length);
            return setting;
        }
    }
    setting.kind = OutputSetting::Invalid;
    return setting;
}

int ChooseDevice(const OutputSetting &setting, const std::vector<std::string> &names) {
    if (setting.kind == OutputSetting::Device) return static_cast<int>(setting.device);
    if (setting.kind != OutputSetting::DeviceName) return kMapper;
    // Two devices of one name: the first, as the system lists them.
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == setting.deviceName) return static_cast<int>(i);
    return kMapper;
}

bool ChosenOutputListed(const OutputSetting &setting, const std::vector<std::string> &names) {
    switch (setting.kind) {
    case OutputSetting::Mapper: return !names.empty();
    case OutputSetting::Device:
    case OutputSetting::DeviceName: {
        int device = ChooseDevice(setting, names);
        return device != kMapper && static_cast<size_t>(device) < names.size();
    }
    default: return true;
    }
}

std::string DeviceNameValue(const std::string &name) { return "midi:name:" + name; }

std::string SynthValue(const std::string &soundFontPath) { return "synth:" + soundFontPath; }

}  // namespace outputs
