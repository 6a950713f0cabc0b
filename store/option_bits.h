// The settings block as the store reads it.  Its layout (the option bits,
// the hotkey fields, the priority byte) is KORVEL.dll's as much as ours and
// lives in engine/settings_block.h; what is the store's own is the rule for
// taking a stored value as the block.
#ifndef TIVORN_STORE_OPTION_BITS_H
#define TIVORN_STORE_OPTION_BITS_H

#include <cstddef>

#include "engine/settings_block.h"

// A stored value of storedSize bytes can be taken as the block when it is not
// longer than the block; a shorter one is zero-filled.
bool StoredSettingsFit(size_t storedSize);

#endif
