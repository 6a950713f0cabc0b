#include "store/settings.h"

#include <algorithm>
#include <cstring>

Settings Settings::FromBlock(const unsigned char *block, size_t size) {
    Settings settings;
    if (block) std::memcpy(settings.block_, block, std::min(size, sizeof settings.block_));
    return settings;
}

bool StoredSettingsFit(size_t storedSize) { return storedSize > 0 && storedSize <= kSettingsSize; }
