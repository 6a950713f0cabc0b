// COM's two clean-ups, each tied to a scope: the apartment a thread joins,
// and the interface pointers it is given.
//
//   ComApartment com(kShellApartment);
//   if (!com.Usable()) return false;
//   ComPtr<IShellLinkA> link;
//   if (FAILED(CoCreateInstance(..., link.PutVoid()))) return false;
//
// Members are destroyed in the reverse of their order, so an apartment is
// declared before the pointers it serves.
#ifndef TIVORN_UTILS_COM_H
#define TIVORN_UTILS_COM_H

#include <objbase.h>

// What the Shell's objects (folders, shortcuts, verbs, the folder picker)
// want of the thread that uses them: a single-threaded apartment, without
// the old DDE that OLE 1 needed.
constexpr DWORD kShellApartment = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

// COM on this thread for the object's life.  Only what CoInitializeEx
// started is ended; a thread that is already in an apartment of the other
// kind (RPC_E_CHANGED_MODE) keeps it, and COM can be used there too.
class ComApartment {
public:
    explicit ComApartment(DWORD model) : started_(CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(started_)) CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;

    bool Usable() const { return SUCCEEDED(started_) || started_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT started_;
};

// An interface pointer that holds one reference, released with it.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T *adopted) : pointer_(adopted) {}  // takes over the caller's reference
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ComPtr(ComPtr &&other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    ComPtr &operator=(ComPtr &&other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = other.pointer_;
            other.pointer_ = nullptr;
        }
        return *this;
    }

    T *operator->() const { return pointer_; }
    T *Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Where a call that makes an object writes it.  COM's rule is that a
    // failed call leaves null there, so the pointer is safe either way.
    T **Put() {
        Reset();
        return &pointer_;
    }
    void **PutVoid() { return reinterpret_cast<void **>(Put()); }

    void Reset() {
        T *held = pointer_;
        pointer_ = nullptr;
        if (held) held->Release();
    }

private:
    T *pointer_ = nullptr;
};

#endif
