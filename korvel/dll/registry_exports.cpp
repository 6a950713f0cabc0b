// The engine's registry operations.  Only HKEY_CURRENT_USER is served: the
// program keeps everything there, and refusing other roots keeps a damaged
// caller from writing anywhere else.
#include "engine/korvel.h"
#include "korvel/system/registry_value.h"
#include "korvel/system/registry_access.h"
#include "utils/handles.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

bool Served(HKEY root, const char *subkey, const char *name) {
    return root == HKEY_CURRENT_USER && subkey && subkey[0] && name;
}

// A REG_EXPAND_SZ value as the string it stands for, with its NUL.  The
// system expands at most 32K characters; a value that names more, or whose
// expansion is longer, cannot be used.
bool Expand(const unsigned char *stored, size_t size, std::vector<char> *out) {
    constexpr DWORD kLargestExpansion = 32767;
    std::string text(reinterpret_cast<const char *>(stored), size);
    text.resize(std::strlen(text.c_str()));
    if (text.size() >= kLargestExpansion) return false;
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0 || needed > kLargestExpansion) return false;
    // An ANSI expansion may ask for one byte more than it gives.
    out->assign(needed + 1, '\0');
    DWORD got = ExpandEnvironmentStringsA(text.c_str(), out->data(), needed + 1);
    if (got == 0 || got > needed + 1) return false;
    out->resize(std::strlen(out->data()) + 1);
    return true;
}

DWORD Answer(DWORD result, DWORD error) {
    SetLastError(error);
    return result;
}

// Opens (or with create, creates) a subkey of HKEY_CURRENT_USER; null on failure.
RegistryKey OpenKey(const char *subkey, REGSAM access, bool create) {
    HKEY key = nullptr;
    LONG status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, access, nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, access, &key);
    return RegistryKey(status == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

extern "C" {

void DeleteValue(const char *subkey, const char *name, HKEY root) {
    if (!Served(root, subkey, name)) return;
    RegistryKey key = OpenKey(subkey, KEY_SET_VALUE, false);
    if (key) RegDeleteValueA(key.Get(), name);
}

DWORD ReadValue(const char *subkey, const char *name, void *buffer, DWORD size, DWORD type, HKEY root) {
    // Every answer sets the last error, so that a caller can tell a value
    // that is not there from one that is there but cannot be used: only the
    // first may be taken for "none".
    if (!Served(root, subkey, name) || (!buffer && size != 0)) return Answer(0, ERROR_INVALID_PARAMETER);
    RegistryKey key;
    LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, key.Put());
    if (opened != ERROR_SUCCESS) {
        key.Release();  // nothing was opened
        return Answer(0, static_cast<DWORD>(opened));
    }
    korvel::StoredValue value;
    if (!value.Read(key.Get(), name)) return Answer(0, static_cast<DWORD>(value.failure()));
    const unsigned char *bytes = value.bytes();
    size_t stored = value.size();
    std::vector<char> expanded;
    if (type == REG_SZ && value.type() == REG_EXPAND_SZ) {
        if (!Expand(bytes, stored, &expanded)) return Answer(0, ERROR_INVALID_DATA);
        bytes = reinterpret_cast<const unsigned char *>(expanded.data());
        stored = expanded.size();
    } else if (value.type() != type) {
        return Answer(0, ERROR_INVALID_DATATYPE);
    }
    bool isString = type == REG_SZ;
    size_t needed = korvel::NeededSize(bytes, stored, isString);
    if (!buffer) return Answer(static_cast<DWORD>(needed), ERROR_SUCCESS);
    if (needed > size) return Answer(0, ERROR_MORE_DATA);
    return Answer(static_cast<DWORD>(korvel::CopyToCaller(bytes, stored, isString, buffer, size)), ERROR_SUCCESS);
}

void WriteValue(const char *subkey, const char *name, const void *data, DWORD size, DWORD type,
                HKEY root) {
    if (!Served(root, subkey, name) || (!data && size != 0)) return;
    RegistryKey key = OpenKey(subkey, KEY_SET_VALUE, true);
    if (!key) return;
    // Setting a value replaces it as a whole or not at all, so a failed
    // write leaves the stored value as it was.
    RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE *>(data), size);
}

}  // extern "C"
