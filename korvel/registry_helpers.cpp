// The engine's registry operations.  Only HKEY_CURRENT_USER is served: the
// program keeps everything there, and refusing other roots keeps a damaged
// caller from writing anywhere else.
#include "engine/korvel.h"
#include "korvel/registry_access.h"
#include "korvel/registry_value.h"
#include "utils/scope_guard.h"

namespace korvel {

namespace {
// Far beyond any value the program stores; a larger one is refused rather
// than given all the memory it asks for.
constexpr DWORD kLargestValue = 16u << 20;
}  // namespace

StoredValue::~StoredValue() {
    if (bytes_) HeapFree(GetProcessHeap(), 0, bytes_);
}

bool StoredValue::Reserve(DWORD capacity) {
    if (capacity <= capacity_) return true;
    if (capacity > kLargestValue) return false;
    void *grown = bytes_ ? HeapReAlloc(GetProcessHeap(), 0, bytes_, capacity)
                         : HeapAlloc(GetProcessHeap(), 0, capacity);
    if (!grown) return false;
    bytes_ = static_cast<unsigned char *>(grown);
    capacity_ = capacity;
    return true;
}

bool StoredValue::Read(HKEY key, const char *name) {
    // The size the first query reports is only a hint (an ANSI read of a
    // string may need less, and the value may change between the calls), so
    // read until the buffer was large enough.
    DWORD hint = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &hint) != ERROR_SUCCESS) return false;
    DWORD capacity = hint < kLargestValue ? hint + 16 : kLargestValue + 1;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (!Reserve(capacity)) return false;
        DWORD got = capacity_;
        LONG status = RegQueryValueExA(key, name, nullptr, &type_, bytes_, &got);
        if (status == ERROR_SUCCESS) {
            size_ = got;
            return true;
        }
        if (status != ERROR_MORE_DATA) return false;
        capacity = got > capacity && got < kLargestValue ? got + 16 : capacity * 2;
    }
    return false;
}

}  // namespace korvel

namespace {

bool Served(HKEY root, const char *subkey, const char *name) {
    return root == HKEY_CURRENT_USER && subkey && subkey[0] && name;
}

// Opens (or with create, creates) a subkey of HKEY_CURRENT_USER; null on failure.
HKEY OpenKey(const char *subkey, REGSAM access, bool create) {
    HKEY key = nullptr;
    LONG status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, access, nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, access, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

extern "C" {

void DeleteValue(const char *subkey, const char *name, HKEY root) {
    if (!Served(root, subkey, name)) return;
    HKEY key = OpenKey(subkey, KEY_SET_VALUE, false);
    if (!key) return;
    ScopeGuard closeKey([key] { RegCloseKey(key); });
    RegDeleteValueA(key, name);
}

DWORD ReadValue(const char *subkey, const char *name, void *buffer, DWORD size, DWORD type, HKEY root) {
    if (!Served(root, subkey, name) || (!buffer && size != 0)) return 0;
    HKEY key = OpenKey(subkey, KEY_QUERY_VALUE, false);
    if (!key) return 0;
    ScopeGuard closeKey([key] { RegCloseKey(key); });
    korvel::StoredValue value;
    if (!value.Read(key, name) || value.type() != type) return 0;
    bool isString = type == REG_SZ;
    if (!buffer) return static_cast<DWORD>(korvel::NeededSize(value.bytes(), value.size(), isString));
    return static_cast<DWORD>(korvel::CopyToCaller(value.bytes(), value.size(), isString, buffer, size));
}

void WriteValue(const char *subkey, const char *name, const void *data, DWORD size, DWORD type,
                HKEY root) {
    if (!Served(root, subkey, name) || (!data && size != 0)) return;
    HKEY key = OpenKey(subkey, KEY_SET_VALUE, true);
    if (!key) return;
    ScopeGuard closeKey([key] { RegCloseKey(key); });
    // Setting a value replaces it as a whole or not at all, so a failed
    // write leaves the stored value as it was.
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
}

}  // extern "C"
