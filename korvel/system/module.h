// The module the engine library's code runs in.
#ifndef TIVORN_KORVEL_SYSTEM_MODULE_H
#define TIVORN_KORVEL_SYSTEM_MODULE_H

#include <windows.h>

namespace korvel {

// KORVEL.dll, or the test program that links the library: the owner of the
// library's window classes and its hook.
HINSTANCE ThisModule();

}  // namespace korvel

#endif
