/* The program's name as its windows show it: the caption of every message
 * box and window, the tray icon's tip while no song plays, and the title by
 * which a second start finds the running copy (engine/resident_window.h).
 * Plain definitions, for C, C++ and the resource compiler (the dialog
 * templates in resources/tivorn.rc). */
#ifndef TIVORN_UTILS_CAPTION_H
#define TIVORN_UTILS_CAPTION_H

#define TIVORN_CAPTION "Tivorn"

/* The same for the W functions: L"Tivorn". */
#define TIVORN_WIDE_TEXT_(text) L##text
#define TIVORN_WIDE_TEXT(text) TIVORN_WIDE_TEXT_(text)
#define TIVORN_CAPTION_W TIVORN_WIDE_TEXT(TIVORN_CAPTION)

#endif
