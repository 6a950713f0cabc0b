// Menu 103 with the item bitmaps of the tray menu.
#ifndef TIVORN_SHELL_POPUP_MENU_H
#define TIVORN_SHELL_POPUP_MENU_H

#include "shell/shell_state.h"

void LoadPopupMenu(ShellState &shell);
void UnloadPopupMenu(ShellState &shell);

#endif
