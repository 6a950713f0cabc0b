/* How a command reaches the running copy of Tivorn.
 *
 * The running copy is its resident window: titled "Tivorn" and wearing the
 * property below.  The title alone proves nothing: the program's own message
 * boxes carry that caption, and so does any other program's window that
 * happens to show the name (a folder window open on the install folder,
 * say).  So the program's single-instance check and the engine's hand-over
 * and hotkey hook all take only the window that carries the property.
 * Commands are WM_COPYDATA whose data word (dwData) is the command code; only
 * the files to play come with a data block.
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
    TIVORN_CODE_MENU = 5,
    /* Files to play at once: the data block holds their paths, each ended by
     * a NUL (utils/command_line_files.h). */
    TIVORN_CODE_PLAY_FILES = 6
};

static BOOL CALLBACK TivornWindowSearchStep(HWND window, LPARAM param) {
    char title[16];
    /* The title first, as a cheap filter: exactly "Tivorn", any class,
     * hidden windows included.  Then the property decides. */
    if (GetWindowTextA(window, title, (int)sizeof title) != 6 || lstrcmpiA(title, TIVORN_WINDOW_TITLE) != 0)
        return TRUE;
    if (!GetPropA(window, TIVORN_RESIDENT_PROP)) return TRUE;
    *(HWND *)param = window;
    return FALSE;
}

/* The running copy's resident window, or NULL when no window titled "Tivorn"
 * carries the property. */
static inline HWND FindTivornWindow(void) {
    HWND found = NULL;
    EnumWindows(TivornWindowSearchStep, (LPARAM)&found);
    return found;
}

#endif
