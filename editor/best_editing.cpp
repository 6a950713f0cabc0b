#include "editor/best_editing.h"

#include "store/best_file.h"

void LoadSelectedBest(HWND combo) {
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    // A name the best file cannot hold (longer than 259 bytes) is not loaded.
    char name[MAX_PATH];
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0 || static_cast<size_t>(length) >= sizeof name) return;
    if (SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name)) == CB_ERR)
        return;
    g_store.dirty = false;
    g_store.edited = FindBestInFile(name);
    if (g_store.edited.IsNone()) g_store.edited = best::BestRecord::ForName(name);
}

// The folder tree does not exist yet, so there are no marks to collect.
bool CollectTreeMarks() { return false; }
