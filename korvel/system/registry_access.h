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
    // unreadable or memory ran out; failure() then says which.
    bool Read(HKEY key, const char *name);
    // The system's answer to the failed read: ERROR_FILE_NOT_FOUND for a
    // missing value, ERROR_NOT_ENOUGH_MEMORY for one too large to hold.
    LONG failure() const { return failure_; }

    const unsigned char *bytes() const { return bytes_; }
    DWORD size() const { return size_; }
    DWORD type() const { return type_; }

private:
    bool Reserve(DWORD capacity);

    unsigned char *bytes_ = nullptr;
    DWORD capacity_ = 0;
    DWORD size_ = 0;
    DWORD type_ = REG_NONE;
    LONG failure_ = ERROR_SUCCESS;
};

}  // namespace korvel

#endif
