#include "shell/popup_menu.h"

#include <windows.h>

#include "resources/resource_ids.h"

namespace {

// Commands of the tray menu that show a picture beside their text.
const MenuBitmap kMenuBitmaps[kMenuBitmapCount] = {
    {IDM_BEST_SETTINGS, IDB_MENU_BEST_SETTINGS, nullptr},
    {IDM_PLAY, IDB_MENU_PLAY, nullptr},
    {IDM_STOP, IDB_MENU_STOP, nullptr},
    {IDM_NEXT, IDB_MENU_NEXT, nullptr},
    {IDM_REWIND, IDB_MENU_REWIND, nullptr},
    {IDM_SONG_INFO, IDB_MENU_SONG_INFO, nullptr},
    {IDM_HELP, IDB_MENU_HELP, nullptr},
    {IDM_VERSION, IDB_MENU_VERSION, nullptr},
    {IDM_EXIT, IDB_MENU_EXIT, nullptr},
};

}  // namespace

void LoadPopupMenu(ShellState &shell) {
    shell.popupMenu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDR_POPUP_MENU));
    for (int i = 0; i < kMenuBitmapCount; ++i) {
        MenuBitmap &row = shell.menuBitmaps[i];
        row = kMenuBitmaps[i];
        row.bitmap = LoadBitmapA(shell.instance, MAKEINTRESOURCEA(row.resource));
        if (shell.popupMenu)
            SetMenuItemBitmaps(shell.popupMenu, row.command, MF_BYCOMMAND, row.bitmap, nullptr);
    }
    shell.checkBitmap = LoadBitmapA(shell.instance, MAKEINTRESOURCEA(IDB_CHECK));
}

void UnloadPopupMenu(ShellState &shell) {
    for (MenuBitmap &row : shell.menuBitmaps) {
        if (row.bitmap) DeleteObject(row.bitmap);
        row.bitmap = nullptr;
    }
    if (shell.popupMenu) DestroyMenu(shell.popupMenu);
    shell.popupMenu = nullptr;
    if (shell.checkBitmap) DeleteObject(shell.checkBitmap);
    shell.checkBitmap = nullptr;
}
