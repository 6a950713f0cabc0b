// Menu IDR_POPUP_MENU with the item bitmaps of the tray menu.
#ifndef TIVORN_SHELL_POPUP_MENU_H
#define TIVORN_SHELL_POPUP_MENU_H

#include <windows.h>

#include "shell/shell_state.h"

void LoadPopupMenu(ShellState &shell);
void UnloadPopupMenu(ShellState &shell);

// WM_MEASUREITEM and WM_DRAWITEM of the tray menu's pictures, which the
// resident window draws; false for anything else.
bool MeasureMenuPicture(const ShellState &shell, MEASUREITEMSTRUCT *item);
bool DrawMenuPicture(const ShellState &shell, const DRAWITEMSTRUCT *item);

#endif
