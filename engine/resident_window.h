/* How a command reaches the running copy of Tivorn.
 *
 * The running copy is found by its window title "Tivorn".  Its message boxes
 * carry the same caption, so the resident window also wears the property
 * below; the program's single-instance check and the engine's hotkey hook
 * both prefer the window that carries it.  Commands are WM_COPYDATA whose
 * data word (dwData) is the command code; no data block is sent.
 */
#ifndef TIVORN_ENGINE_RESIDENT_WINDOW_H
#define TIVORN_ENGINE_RESIDENT_WINDOW_H

#include <windows.h>

#define TIVORN_WINDOW_TITLE   "Tivorn"
#define TIVORN_RESIDENT_PROP  "TivornResident"

/* WM_COPYDATA command codes of the resident window. */
enum {
    TIVORN_CODE_NEXT = 0,
    TIVORN_CODE_REWIND = 1,
    TIVORN_CODE_STOP = 2,
    TIVORN_CODE_NEXT_BEST = 3,
    TIVORN_CODE_RESTART = 4,
    TIVORN_CODE_MENU = 5
};

typedef struct {
    HWND marked;     /* titled "Tivorn" and carrying the property */
    HWND titled;     /* the first window titled "Tivorn" */
} TivornWindowSearch;

static BOOL CALLBACK TivornWindowSearchStep(HWND window, LPARAM param) {
    TivornWindowSearch *search = (TivornWindowSearch *)param;
    char title[16];
    /* A title of exactly "Tivorn"; any class, hidden windows included. */
    if (GetWindowTextA(window, title, (int)sizeof title) != 6 || lstrcmpiA(title, TIVORN_WINDOW_TITLE) != 0)
        return TRUE;
    if (!search->titled) search->titled = window;
    if (GetPropA(window, TIVORN_RESIDENT_PROP)) {
        search->marked = window;
        return FALSE;
    }
    return TRUE;
}

/* The running copy's resident window; a window merely titled "Tivorn" when
 * none carries the property; NULL when nothing is titled "Tivorn". */
static inline HWND FindTivornWindow(void) {
    TivornWindowSearch search = {NULL, NULL};
    EnumWindows(TivornWindowSearchStep, (LPARAM)&search);
    return search.marked ? search.marked : search.titled;
}

#endif
