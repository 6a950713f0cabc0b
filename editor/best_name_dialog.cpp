#include "editor/best_name_dialog.h"

#include "editor/byte_limited_edit.h"
#include "resources/resource_ids.h"
#include "store/best_file.h"
#include "utils/message_box.h"

namespace {

const char kEmptyName[] = "ベスト名が入力されていません。";
const char kListedName[] = "このベスト名はすでに登録されています。\n別の名前を入力してください。";
const char kStoredName[] = "同じ名前のベストがすでに存在します。\n別の名前を入力してください。";

// The best file holds names of at most 259 bytes, which the edit counts
// as the user types.
constexpr int kLongestName = 259;

class BestNameDialog {
public:
    explicit BestNameDialog(HWND combo) : combo_(combo) {}

    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            LimitEditBytes(GetDlgItem(window, IDC_BEST_NAME), kLongestName);
            return TRUE;
        }
        auto *self = reinterpret_cast<BestNameDialog *>(GetWindowLongPtrA(window, DWLP_USER));
        if (!self) return FALSE;
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) self->OnOk(window);
            if (LOWORD(wParam) == IDCANCEL) EndDialog(window, 0);
            return TRUE;
        case WM_CLOSE:
            EndDialog(window, 0);
            return TRUE;
        default:
            return FALSE;
        }
    }

    const std::string &name() const { return name_; }

private:
    // After a refusal the text stays, for the user to change it.
    void OnOk(HWND window) {
        char text[kLongestName + 1] = "";
        GetDlgItemTextA(window, IDC_BEST_NAME, text, sizeof text);
        if (!text[0]) {
            ShowMessage(window, kEmptyName, MB_OK | MB_ICONWARNING);
            return;
        }
        if (SendMessageA(combo_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) !=
            CB_ERR) {
            ShowMessage(window, kListedName, MB_OK | MB_ICONWARNING);
            return;
        }
        if (!FindBestInFile(text).IsNone()) {
            ShowMessage(window, kStoredName, MB_OK | MB_ICONWARNING);
            return;
        }
        name_ = text;
        EndDialog(window, 1);
    }

    HWND combo_;
    std::string name_;
};

}  // namespace

bool AskBestName(HWND owner, HWND combo, std::string *name) {
    BestNameDialog dialog(combo);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BEST_NAME), owner, BestNameDialog::Proc,
                                     reinterpret_cast<LPARAM>(&dialog));
    if (result != 1) return false;
    *name = dialog.name();
    return true;
}
