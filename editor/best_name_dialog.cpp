#include "editor/best_name_dialog.h"

#include "editor/byte_limited_edit.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/message_box.h"
#include "utils/window_binding.h"
#include "store/best_record.h"

namespace {

const char kEmptyName[] = "ベスト名が入力されていません。";
const char kListedName[] = "このベスト名はすでに登録されています。\n別の名前を入力してください。";
const char kStoredName[] = "同じ名前のベストがすでに存在します。\n別の名前を入力してください。";

// The best file holds names of at most this many bytes, which the edit
// counts as the user types.
constexpr int kLongestName = static_cast<int>(best::kMaxNameLength);

class BestNameDialog {
public:
    BestNameDialog(HWND combo, const Store &store) : combo_(combo), store_(store) {}

    const std::string &name() const { return name_; }

private:
    friend class WindowBinding<BestNameDialog, WindowLifetime::OutlivesWindow>;

    INT_PTR OnInitDialog(HWND window) {
        window_ = window;
        LimitEditBytes(GetDlgItem(window, IDC_BEST_NAME), kLongestName);
        return TRUE;
    }

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) OnOk();
            if (LOWORD(wParam) == IDCANCEL) EndDialog(window_, 0);
            return TRUE;
        case WM_CLOSE:
            EndDialog(window_, 0);
            return TRUE;
        default:
            return FALSE;
        }
    }

    // After a refusal the text stays, for the user to change it.
    void OnOk() {
        char text[kLongestName + 1] = "";
        GetDlgItemTextA(window_, IDC_BEST_NAME, text, sizeof text);
        if (!text[0]) {
            ShowMessage(window_, kEmptyName, MB_OK | MB_ICONWARNING);
            return;
        }
        if (SendMessageA(combo_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) !=
            CB_ERR) {
            ShowMessage(window_, kListedName, MB_OK | MB_ICONWARNING);
            return;
        }
        if (!store_.FindBestInFile(text).IsNone()) {
            ShowMessage(window_, kStoredName, MB_OK | MB_ICONWARNING);
            return;
        }
        name_ = text;
        EndDialog(window_, 1);
    }

    HWND window_ = nullptr;
    HWND combo_;
    const Store &store_;
    std::string name_;
};

}  // namespace

bool AskBestName(HWND owner, HWND combo, const Store &store, std::string *name) {
    BestNameDialog dialog(combo, store);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    INT_PTR result =
        WindowBinding<BestNameDialog, WindowLifetime::OutlivesWindow>::Run(instance, IDD_BEST_NAME, owner, dialog);
    if (result != 1) return false;
    *name = dialog.name();
    return true;
}
