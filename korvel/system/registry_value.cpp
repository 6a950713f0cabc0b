#include "korvel/system/registry_value.h"

#include <cstring>

namespace korvel {

namespace {

bool LacksTerminator(const unsigned char *stored, size_t storedSize) {
    return storedSize == 0 || stored[storedSize - 1] != 0;
}

}  // namespace

size_t NeededSize(const unsigned char *stored, size_t storedSize, bool isString) {
    return isString && LacksTerminator(stored, storedSize) ? storedSize + 1 : storedSize;
}

size_t CopyToCaller(const unsigned char *stored, size_t storedSize, bool isString, void *buffer,
                    size_t size) {
    size_t needed = NeededSize(stored, storedSize, isString);
    if (!buffer || needed == 0 || needed > size) return 0;
    unsigned char *out = static_cast<unsigned char *>(buffer);
    if (storedSize) std::memcpy(out, stored, storedSize);
    if (needed > storedSize) out[storedSize] = 0;
    return needed;
}

}  // namespace korvel
