#include "korvel/system/registry_access.h"

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
    failure_ = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &hint);
    if (failure_ != ERROR_SUCCESS) return false;
    DWORD capacity = hint < kLargestValue ? hint + 16 : kLargestValue + 1;
    for (int attempt = 0; attempt < 8; ++attempt) {
        failure_ = ERROR_NOT_ENOUGH_MEMORY;
        if (!Reserve(capacity)) return false;
        DWORD got = capacity_;
        failure_ = RegQueryValueExA(key, name, nullptr, &type_, bytes_, &got);
        if (failure_ == ERROR_SUCCESS) {
            size_ = got;
            return true;
        }
        if (failure_ != ERROR_MORE_DATA) return false;
        capacity = got > capacity && got < kLargestValue ? got + 16 : capacity * 2;
    }
    return false;
}

}  // namespace korvel
