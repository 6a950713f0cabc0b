#include "shell/popup_menu.h"

#include <windows.h>

#include "resources/resource_ids.h"
#include "shell/shell_state.h"

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

void LoadPopupMenu() {
    g_shell.popupMenu = LoadMenuA(g_shell.instance, MAKEINTRESOURCEA(IDR_POPUP_MENU));
    for (int i = 0; i < kMenuBitmapCount; ++i) {
        MenuBitmap &row = g_shell.menuBitmaps[i];
        row = kMenuBitmaps[i];
        row.bitmap = LoadBitmapA(g_shell.instance, MAKEINTRESOURCEA(row.resource));
        if (g_shell.popupMenu)
            SetMenuItemBitmaps(g_shell.popupMenu, row.command, MF_BYCOMMAND, row.bitmap, nullptr);
    }
    g_shell.checkBitmap = LoadBitmapA(g_shell.instance, MAKEINTRESOURCEA(IDB_CHECK));
}

void UnloadPopupMenu() {
    for (MenuBitmap &row : g_shell.menuBitmaps) {
        if (row.bitmap) DeleteObject(row.bitmap);
        row.bitmap = nullptr;
    }
    if (g_shell.popupMenu) DestroyMenu(g_shell.popupMenu);
    g_shell.popupMenu = nullptr;
    if (g_shell.checkBitmap) DeleteObject(g_shell.checkBitmap);
    g_shell.checkBitmap = nullptr;
}
