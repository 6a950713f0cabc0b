// Reading whole registry values inside the engine (the helper exports and
// the hotkey hook share it).
#ifndef TIVORN_KORVEL_REGISTRY_ACCESS_H
#define TIVORN_KORVEL_REGISTRY_ACCESS_H

#include <windows.h>

namespace korvel {

// A value's bytes in an engine-owned heap block.
class StoredValue {
public:
    StoredValue() = default;
    ~StoredValue();
    StoredValue(const StoredValue &) = delete;
    StoredValue &operator=(const StoredValue &) = delete;

    // Reads the whole value, however long it is.  False when it is missing,
    // unreadable or memory ran out.
    bool Read(HKEY key, const char *name);

    const unsigned char *bytes() const { return bytes_; }
    DWORD size() const { return size_; }
    DWORD type() const { return type_; }

private:
    bool Reserve(DWORD capacity);

    unsigned char *bytes_ = nullptr;
    DWORD capacity_ = 0;
    DWORD size_ = 0;
    DWORD type_ = REG_NONE;
};

}  // namespace korvel

#endif
