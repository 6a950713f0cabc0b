// Entry point of KORVEL.dll.
#include <windows.h>

#include "korvel/module.h"

HINSTANCE g_korvelModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_korvelModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
