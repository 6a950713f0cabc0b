// A function of a system library looked up by name, for what older Windows
// versions lack: the program still starts there, and the caller falls back.
#ifndef TIVORN_UTILS_SYSTEM_FUNCTION_H
#define TIVORN_UTILS_SYSTEM_FUNCTION_H

#include <windows.h>

// Null when module is null or lacks the function.  Through a plain function
// pointer, because FARPROC's type says nothing about the real one.
template <typename Function>
Function SystemFunction(HMODULE module, const char *name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

#endif
