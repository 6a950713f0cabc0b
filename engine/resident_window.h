/* How a command reaches the running copy of Tivorn.
 *
 * The running copy is its resident window: titled "Tivorn" and wearing the
 * property below.  The title alone proves nothing: the program's own message
 * boxes carry that caption, and so does any other program's window that
 * happens to show the name (a folder window open on the install folder,
 * say).  So the program's single-instance check and the library's hand-over
 * and hotkey hook all take only the window that carries the property.
 *
 * The property's value, the window's tag, says whose window it is.  The resident window is made
 * with TIVORN_TAG_MADE; only the program's start, once it has found no
 * running copy, makes it TIVORN_TAG_RUNNING_COPY.  A window of the same code
 * made by any other process (a test, a tool that draws it) is then never
 * taken for the running copy, and a start beside it runs as it should.
 * Commands are WM_COPYDATA whose data word (dwData) is the command code; only
 * the files to play come with a data block.
 */
#ifndef TIVORN_ENGINE_RESIDENT_WINDOW_H
#define TIVORN_ENGINE_RESIDENT_WINDOW_H

#include <windows.h>

#include "utils/caption.h"

#define TIVORN_RESIDENT_PROP  "TivornResident"
#define TIVORN_TAG_RUNNING_COPY  ((HANDLE)1)
#define TIVORN_TAG_MADE          ((HANDLE)2)

/* WM_COPYDATA command codes of the resident window. */
enum {
    TIVORN_CODE_NEXT = 0,
    TIVORN_CODE_REWIND = 1,
    TIVORN_CODE_STOP = 2,
    TIVORN_CODE_NEXT_BEST = 3,
    TIVORN_CODE_RESTART = 4,
    TIVORN_CODE_MENU = 5,
    /* Files to play at once: the data block holds the sending process's
     * start time and the paths, each ended by a NUL
     * (utils/command_line_files.h). */
    TIVORN_CODE_PLAY_FILES = 6
};

#define TIVORN_NOT_TAKEN 1

/* The running copy's resident window, or NULL when no window titled "Tivorn"
 * carries the running copy's tag.  FindWindowEx compares the titles the system keeps,
 * sending no message: a hung window of any program cannot stall the search.
 * Any class, hidden windows included. */
static inline HWND FindTivornWindow(void) {
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, NULL, TIVORN_CAPTION)) != NULL)
        if (GetPropA(window, TIVORN_RESIDENT_PROP) == TIVORN_TAG_RUNNING_COPY) return window;
    return NULL;
}

/* When this process was created, in the system's 100-nanosecond units.
 * Explorer starts one process per selected file within moments; a hand-over
 * says when its process began, so that the running copy can tell a
 * selection opened at once from files opened one by one. */
static inline unsigned long long TivornProcessStartTime(void) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

#endif
