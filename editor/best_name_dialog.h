// The best name dialog (template 107): the name of a new best, modal over
// the best settings dialog.
#ifndef TIVORN_EDITOR_BEST_NAME_DIALOG_H
#define TIVORN_EDITOR_BEST_NAME_DIALOG_H

#include <windows.h>

#include <string>

class Store;

// Asks for a name that is not empty, not listed in combo (whatever the
// letter case) and not a best of the best file.  False when cancelled.
bool AskBestName(HWND owner, HWND combo, const Store &store, std::string *name);

#endif
