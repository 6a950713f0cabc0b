#include "store/option_bits.h"

bool StoredSettingsFit(size_t storedSize) { return storedSize > 0 && storedSize <= kSettingsSize; }
