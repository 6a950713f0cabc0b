// Driving the best settings dialog in process as a user does: reading its
// tree's items, switching its tab, and the keys the dialog manager offers
// the tree.  Shared by the editor's tests and the screenshot tool.
#ifndef TIVORN_TESTING_BEST_DIALOG_DRIVING_H
#define TIVORN_TESTING_BEST_DIALOG_DRIVING_H

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace tt {

inline std::string ItemLabel(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = "";
    TVITEMA read = {};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = sizeof text;
    TreeView_GetItem(tree, &read);
    return text;
}

inline std::vector<HTREEITEM> ChildItems(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child))
        children.push_back(child);
    return children;
}

// The child of parent shown under label, or null.
inline HTREEITEM ChildLabelled(HWND tree, HTREEITEM parent, const std::string &label) {
    for (HTREEITEM child : ChildItems(tree, parent))
        if (ItemLabel(tree, child) == label) return child;
    return nullptr;
}

// The tab control switched as a click on a tab switches it.
inline void SwitchTab(HWND dialog, int tab) {
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    TabCtrl_SetCurSel(tabs, tab);
    NMHDR change = {tabs, static_cast<UINT_PTR>(IDC_TABS), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
}

// A key on the selected item as the dialog manager offers it to the tree.
inline void OfferKey(HWND tree, HTREEITEM item, UINT message, WPARAM key) {
    TreeView_SelectItem(tree, item);
    MSG asked = {tree, message, key, 0, 0, {}};
    SendMessageA(tree, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&asked));
}

}  // namespace tt

#endif
