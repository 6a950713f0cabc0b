// Menu IDR_POPUP_MENU with the item bitmaps of the tray menu.
#ifndef TIVORN_SHELL_POPUP_MENU_H
#define TIVORN_SHELL_POPUP_MENU_H

#include <windows.h>

#include "shell/application_state.h"

void LoadPopupMenu(ApplicationState &state);
void UnloadPopupMenu(ApplicationState &state);

// WM_MEASUREITEM and WM_DRAWITEM of the tray menu's pictures, which the
// resident window draws; false for anything else.
bool MeasureMenuPicture(const ApplicationState &state, MEASUREITEMSTRUCT *item);
bool DrawMenuPicture(const ApplicationState &state, const DRAWITEMSTRUCT *item);

#endif
