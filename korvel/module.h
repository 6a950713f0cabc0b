// Process-wide handle of the engine library's own module.
#ifndef TIVORN_KORVEL_MODULE_H
#define TIVORN_KORVEL_MODULE_H

#include <windows.h>

extern HINSTANCE g_korvelModule;

#endif
