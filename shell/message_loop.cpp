#include "shell/message_loop.h"

#include <commctrl.h>

#include <algorithm>

#include "utils/message_box.h"

namespace {

// The edit box a tree view shows while one of its labels is edited.
bool IsTreeLabelEdit(HWND window) {
    HWND parent = window ? GetParent(window) : nullptr;
    if (!parent) return false;
    char className[32] = "";
    GetClassNameA(parent, className, ARRAYSIZE(className));
    return lstrcmpiA(className, WC_TREEVIEWA) == 0 && TreeView_GetEditControl(parent) == window;
}

}  // namespace

void ModelessWindows::Add(HWND window) {
    if (window && !Contains(window)) windows_.push_back(window);
}

void ModelessWindows::Remove(HWND window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

bool ModelessWindows::Contains(HWND window) const {
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

bool ModelessWindows::OfferDialogKey(MSG *message) const {
    if (windows_.empty() || IsTreeLabelEdit(message->hwnd)) return false;
    // A window may close on its key (the About view's Esc) and leave the
    // list while it is walked: the walk goes over a copy.
    std::vector<HWND> windows = windows_;
    for (HWND window : windows)
        if (IsWindow(window) && IsDialogMessageA(window, message)) return true;
    return false;
}

int RunMessageLoop(const ModelessWindows &modeless, HWND owner, ExitRequester &exit) {
    MSG message;
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0) return static_cast<int>(message.wParam);
        if (fetched == -1) {
            ReportUnexpectedError(owner, exit);
            return 0;
        }
        if (modeless.OfferDialogKey(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
