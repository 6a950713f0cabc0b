#include "korvel/system/module.h"

namespace korvel {

HINSTANCE ThisModule() {
    // Asked of an address in this very code, the system names the module
    // that holds it, whatever loaded it and under whatever name.
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

}  // namespace korvel
