// The best settings dialog (template 105), modeless, owned by the resident
// window.  Whoever creates it stores its handle in g_shell.bestDialog and
// sets the application mode; closing it goes through CloseBestSettings.
#ifndef TIVORN_EDITOR_BEST_SETTINGS_DIALOG_H
#define TIVORN_EDITOR_BEST_SETTINGS_DIALOG_H

#include <windows.h>

// Null when the dialog could not be created.
HWND CreateBestSettingsDialog(HWND owner);

INT_PTR CALLBACK BestSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
