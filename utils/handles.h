// Win32 handles, each closed with the object that holds it, in the way its
// kind is closed: a kernel object, a registry key, a GDI object, a search
// of a folder, a view of a mapped file.
//
//   KernelHandle file(CreateFileA(...));
//   if (!file) return GetLastError();
//   ReadFile(file.Get(), ...);
//
//   RegistryKey key;
//   if (RegOpenKeyExA(root, name, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
//
// Close() closes now and tells whether the system did, for a file whose
// close must succeed before it replaces another; Release() hands the handle
// on and keeps nothing.  A GDI object selected into a device context must be
// selected out before its holder goes, so a holder is declared before the
// guard that restores the context.
#ifndef TIVORN_UTILS_HANDLES_H
#define TIVORN_UTILS_HANDLES_H

#include <windows.h>

template <class Kind>
class UniqueHandle {
public:
    using Raw = typename Kind::Raw;

    UniqueHandle() = default;
    explicit UniqueHandle(Raw adopted) : raw_(adopted) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle &) = delete;
    UniqueHandle &operator=(const UniqueHandle &) = delete;
    UniqueHandle(UniqueHandle &&other) noexcept : raw_(other.Release()) {}
    UniqueHandle &operator=(UniqueHandle &&other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Raw Get() const { return raw_; }
    explicit operator bool() const { return !Kind::None(raw_); }

    // Where a call that opens the object writes it.  What was held before is
    // closed first.
    Raw *Put() {
        Close();
        return &raw_;
    }

    // Closes what was held and holds adopted instead.
    void Reset(Raw adopted = Raw()) {
        Close();
        raw_ = adopted;
    }

    // True when nothing is held any more without a failure: nothing was
    // held, or the system closed it.  The handle is given up either way,
    // since a handle whose close failed cannot be closed again.
    bool Close() {
        Raw held = raw_;
        raw_ = Raw();
        return Kind::None(held) || Kind::Close(held);
    }

    Raw Release() {
        Raw held = raw_;
        raw_ = Raw();
        return held;
    }

private:
    Raw raw_ = Raw();
};

// Kernel objects: files, events, mutexes, threads, processes, mappings.
// Some calls answer a failure with null and others (CreateFile) with
// INVALID_HANDLE_VALUE; both mean "none".
struct KernelHandleKind {
    using Raw = HANDLE;
    static bool None(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE handle) { return CloseHandle(handle) != FALSE; }
};
using KernelHandle = UniqueHandle<KernelHandleKind>;

// An opened or created registry key (never one of the predefined roots,
// which are not closed).
struct RegistryKeyKind {
    using Raw = HKEY;
    static bool None(HKEY key) { return key == nullptr; }
    static bool Close(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using RegistryKey = UniqueHandle<RegistryKeyKind>;

// A font, bitmap, brush, pen or region that this program made or loaded.
template <class Object>
struct GdiObjectKind {
    using Raw = Object;
    static bool None(Object object) { return object == nullptr; }
    static bool Close(Object object) { return DeleteObject(object) != FALSE; }
};
template <class Object>
using GdiObject = UniqueHandle<GdiObjectKind<Object>>;

// A search begun by FindFirstFile, which fails with INVALID_HANDLE_VALUE.
struct FindHandleKind {
    using Raw = HANDLE;
    static bool None(HANDLE search) { return search == nullptr || search == INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE search) { return FindClose(search) != FALSE; }
};
using FindHandle = UniqueHandle<FindHandleKind>;

// A view that MapViewOfFile made of a file mapping; the mapping itself is a
// KernelHandle.
struct MappedViewKind {
    using Raw = void *;
    static bool None(void *base) { return base == nullptr; }
    static bool Close(void *base) { return UnmapViewOfFile(base) != FALSE; }
};
using MappedView = UniqueHandle<MappedViewKind>;

#endif
