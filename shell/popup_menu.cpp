#include "shell/popup_menu.h"

#include <windows.h>

#include "resources/resource_ids.h"

namespace {

// Commands of the tray menu that show a picture beside their text.
struct MenuPicture {
    UINT command;
    WORD resource;
};

const MenuPicture kMenuPictures[kMenuBitmapCount] = {
    {IDM_BEST_SETTINGS, IDB_MENU_BEST_SETTINGS},
    {IDM_PLAY, IDB_MENU_PLAY},
    {IDM_STOP, IDB_MENU_STOP},
    {IDM_NEXT, IDB_MENU_NEXT},
    {IDM_REWIND, IDB_MENU_REWIND},
    {IDM_SONG_INFO, IDB_MENU_SONG_INFO},
    {IDM_HELP, IDB_MENU_HELP},
    {IDM_VERSION, IDB_MENU_VERSION},
    {IDM_EXIT, IDB_MENU_EXIT},
};

// The picture of the menu item with this command, or null.
HBITMAP PictureOf(const ApplicationState &state, UINT command) {
    for (const MenuBitmap &row : state.menuBitmaps)
        if (row.command == command) return row.bitmap.Get();
    return nullptr;
}

}  // namespace

void LoadPopupMenu(ApplicationState &state) {
    state.popupMenu = LoadMenuA(state.instance, MAKEINTRESOURCEA(IDR_POPUP_MENU));
    // No item has both a picture and a check, so both share the one column
    // beside the text, as the pictures did when they were checks.
    if (HMENU tray = state.popupMenu ? GetSubMenu(state.popupMenu, 0) : nullptr) {
        MENUINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = MIM_STYLE;
        info.dwStyle = MNS_CHECKORBMP;
        SetMenuInfo(tray, &info);
    }
    for (int i = 0; i < kMenuBitmapCount; ++i) {
        MenuBitmap &row = state.menuBitmaps[i];
        row.command = kMenuPictures[i].command;
        row.resource = kMenuPictures[i].resource;
        // A DIB section keeps the 32 bits with their premultiplied alpha.
        row.bitmap.Reset(static_cast<HBITMAP>(
            LoadImageA(state.instance, MAKEINTRESOURCEA(row.resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!state.popupMenu) continue;
        // The menu asks the resident window to draw the picture, which then
        // blends it over the background and the highlight itself.  Given as
        // check-mark bitmaps, the pictures would be ANDed on as monochrome
        // masks; given as item bitmaps, some systems copy them as they are
        // and show every clear pixel black.
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        item.hbmpItem = HBMMENU_CALLBACK;
        SetMenuItemInfoA(state.popupMenu, row.command, FALSE, &item);
    }
    state.checkBitmap.Reset(LoadBitmapA(state.instance, MAKEINTRESOURCEA(IDB_CHECK)));
}

void UnloadPopupMenu(ApplicationState &state) {
    for (MenuBitmap &row : state.menuBitmaps) row.bitmap.Reset();
    if (state.popupMenu) DestroyMenu(state.popupMenu);
    state.popupMenu = nullptr;
    state.checkBitmap.Reset();
}

bool MeasureMenuPicture(const ApplicationState &state, MEASUREITEMSTRUCT *item) {
    if (item->CtlType != ODT_MENU) return false;
    BITMAP info = {};
    HBITMAP picture = PictureOf(state, item->itemID);
    if (!picture || !GetObjectA(picture, sizeof info, &info)) return false;
    item->itemWidth = static_cast<UINT>(info.bmWidth);
    item->itemHeight = static_cast<UINT>(info.bmHeight);
    return true;
}

bool DrawMenuPicture(const ApplicationState &state, const DRAWITEMSTRUCT *item) {
    if (item->CtlType != ODT_MENU) return false;
    BITMAP info = {};
    HBITMAP picture = PictureOf(state, item->itemID);
    if (!picture || !GetObjectA(picture, sizeof info, &info)) return false;
    HDC source = CreateCompatibleDC(item->hDC);
    if (!source) return false;
    HGDIOBJ old = SelectObject(source, picture);
    int y = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - info.bmHeight) / 2;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(item->hDC, item->rcItem.left, y, info.bmWidth, info.bmHeight, source, 0, 0, info.bmWidth,
                  info.bmHeight, blend);
    SelectObject(source, old);
    DeleteDC(source);
    return true;
}
