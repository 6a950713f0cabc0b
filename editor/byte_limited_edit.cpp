#include "editor/byte_limited_edit.h"

#include <commctrl.h>

#include <string>

#include "editor/byte_limit.h"

namespace {

// The one subclass of an edit; its data is the limit.
constexpr UINT_PTR kByteLimitSubclass = 1;

std::string TextOf(HWND edit) {
    // The length may be larger than the text, never smaller.
    int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    int got = GetWindowTextA(edit, &text[0], static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

// Lets the edit's own procedure handle a message that may put text in, and
// takes back what passes the limit.  The positions the control gives are its
// own units; they are turned into bytes only to find what went in.  The
// edit's text goes back through the whole chain, which turns it from code
// page 932 into the edit's own characters.
LRESULT Guarded(HWND edit, size_t limit, UINT message, WPARAM wParam, LPARAM lParam) {
    std::string old = TextOf(edit);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    auto reported = static_cast<size_t>(SendMessageA(edit, EM_LINELENGTH, 0, 0));
    LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
    // Enter or Esc in a tree's label edit ends it: the edit is gone.
    if (!IsWindow(edit)) return result;
    std::string fresh = TextOf(edit);
    if (fresh.size() <= limit || fresh.size() <= old.size()) return result;

    bytelimit::Unit unit = bytelimit::UnitOf(old, reported);
    std::string fitting = bytelimit::FittingInsertion(old, bytelimit::ByteOffset(old, start, unit),
                                                      bytelimit::ByteOffset(old, end, unit), fresh, limit);
    // Back to the text and selection the user had, then only what fits.
    SetWindowTextA(edit, old.c_str());
    SendMessageA(edit, EM_SETSEL, start, end);
    if (!fitting.empty()) SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(fitting.c_str()));
    MessageBeep(MB_OK);
    return result;
}

LRESULT CALLBACK LimitedEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR limit) {
    switch (message) {
    // Typing (Ctrl+V arrives as a character too), IME input, paste, undo.
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_PASTE:
    case WM_UNDO:
    case EM_UNDO:
        return Guarded(edit, static_cast<size_t>(limit), message, wParam, lParam);
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, LimitedEditProc, kByteLimitSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void LimitEditBytes(HWND edit, size_t limit) {
    if (!edit) return;
    SendMessageA(edit, EM_LIMITTEXT, limit, 0);
    // An edit held already takes the new limit; whoever subclassed it
    // before stays in the chain below.
    SetWindowSubclass(edit, LimitedEditProc, kByteLimitSubclass, static_cast<DWORD_PTR>(limit));
}
