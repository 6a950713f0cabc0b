#include "editor/byte_limited_edit.h"

#include <cstdint>
#include <string>

#include "editor/byte_limit.h"

namespace {

// The edit's own procedure and its limit, kept as properties of the window.
const char kPreviousProp[] = "TivornByteLimitPrevious";
const char kLimitProp[] = "TivornByteLimit";

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
// own units; they are turned into bytes only to find what went in.
LRESULT Guarded(HWND edit, WNDPROC previous, size_t limit, UINT message, WPARAM wParam, LPARAM lParam) {
    std::string old = TextOf(edit);
    DWORD start = 0, end = 0;
    CallWindowProcA(previous, edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    auto reported = static_cast<size_t>(CallWindowProcA(previous, edit, EM_LINELENGTH, 0, 0));
    LRESULT result = CallWindowProcA(previous, edit, message, wParam, lParam);
    // Enter or Esc in a tree's label edit ends it: the edit is gone.
    if (!IsWindow(edit) || GetPropA(edit, kPreviousProp) != reinterpret_cast<HANDLE>(previous)) return result;
    std::string fresh = TextOf(edit);
    if (fresh.size() <= limit || fresh.size() <= old.size()) return result;

    bytelimit::Unit unit = bytelimit::UnitOf(old, reported);
    std::string fitting = bytelimit::FittingInsertion(old, bytelimit::ByteOffset(old, start, unit),
                                                      bytelimit::ByteOffset(old, end, unit), fresh, limit);
    // Back to the text and selection the user had, then only what fits.
    CallWindowProcA(previous, edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(old.c_str()));
    CallWindowProcA(previous, edit, EM_SETSEL, start, end);
    if (!fitting.empty())
        CallWindowProcA(previous, edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(fitting.c_str()));
    MessageBeep(MB_OK);
    return result;
}

LRESULT CALLBACK LimitedEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(edit, kPreviousProp));
    if (!previous) return DefWindowProcA(edit, message, wParam, lParam);
    auto limit = static_cast<size_t>(reinterpret_cast<uintptr_t>(GetPropA(edit, kLimitProp)));
    switch (message) {
    // Typing (Ctrl+V arrives as a character too), IME input, paste, undo.
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_PASTE:
    case WM_UNDO:
    case EM_UNDO:
        return Guarded(edit, previous, limit, message, wParam, lParam);
    case WM_NCDESTROY:
        RemovePropA(edit, kPreviousProp);
        RemovePropA(edit, kLimitProp);
        break;
    default:
        break;
    }
    return CallWindowProcA(previous, edit, message, wParam, lParam);
}

}  // namespace

void LimitEditBytes(HWND edit, size_t limit) {
    if (!edit) return;
    SendMessageA(edit, EM_LIMITTEXT, limit, 0);
    SetPropA(edit, kLimitProp, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(limit)));
    if (GetPropA(edit, kPreviousProp)) return;
    // The procedure it had stays in the chain below this one until the edit
    // is destroyed; whoever subclassed it before may set theirs back then.
    SetPropA(edit, kPreviousProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(edit, GWLP_WNDPROC)));
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LimitedEditProc));
}
