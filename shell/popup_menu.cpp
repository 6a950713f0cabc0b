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
    // No item has both a picture and a check, so both share the one column
    // beside the text, as the pictures did when they were check marks.
    if (HMENU tray = shell.popupMenu ? GetSubMenu(shell.popupMenu, 0) : nullptr) {
        MENUINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = MIM_STYLE;
        info.dwStyle = MNS_CHECKORBMP;
        SetMenuInfo(tray, &info);
    }
    for (int i = 0; i < kMenuBitmapCount; ++i) {
        MenuBitmap &row = shell.menuBitmaps[i];
        row = kMenuBitmaps[i];
        // A DIB section keeps the 32 bits with their premultiplied alpha,
        // which the menu blends over its background and its highlight.
        // Given as check-mark bitmaps instead, the pictures would be ANDed
        // onto the background as monochrome marks and box on the highlight.
        row.bitmap = static_cast<HBITMAP>(
            LoadImageA(shell.instance, MAKEINTRESOURCEA(row.resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!shell.popupMenu) continue;
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        item.hbmpItem = row.bitmap;
        SetMenuItemInfoA(shell.popupMenu, row.command, FALSE, &item);
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
