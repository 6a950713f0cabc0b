// The text of a best's item in the tray menu (no windows.h).
#ifndef TIVORN_SHELL_BEST_MENU_LABEL_H
#define TIVORN_SHELL_BEST_MENU_LABEL_H

#include <cstddef>

// Label of best `index` (from 0): "&1 name" to "&9 name", "1&0 name" for the
// tenth, the name alone from the eleventh on.  An '&' of the name is doubled
// so that it shows as itself instead of stealing the mnemonic.  The label is
// cut at a character boundary to fit capacity bytes, NUL included.
void BestMenuLabel(int index, const char *name, char *label, size_t capacity);

#endif
