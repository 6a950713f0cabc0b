// The dialog binding's lifetime: which object a window's messages reach, and
// when it is deleted.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "resources/resource_ids.h"
#include "utils/window_binding.h"

namespace {

constexpr UINT kDeleted = 0xFFFFFFFF;

// Logs every message its handlers get, and its own end.  It asks for its
// end at once; a modal loop gets that command, a window destroyed first never.
class Probe {
public:
    explicit Probe(std::vector<UINT> *log) : log_(log) {}
    ~Probe() { log_->push_back(kDeleted); }

    INT_PTR OnInitDialog(HWND window) {
        log_->push_back(WM_INITDIALOG);
        window_ = window;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    INT_PTR OnMessage(UINT message, WPARAM, LPARAM) {
        log_->push_back(message);
        if (message == WM_COMMAND) EndDialog(window_, 7);
        return FALSE;
    }

private:
    std::vector<UINT> *log_;
    HWND window_ = nullptr;
};

using Owned = WindowBinding<Probe, WindowLifetime::DeletedWithWindow>;
using Borrowed = WindowBinding<Probe, WindowLifetime::OutlivesWindow>;

TEST(WindowBinding, AnOwnedObjectIsDeletedAtNcDestroyAfterItsLastMessage) {
    std::vector<UINT> log;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = Owned::Create(instance, IDD_BEST_NAME, nullptr, std::make_unique<Probe>(&log));
    ASSERT_NE(window, nullptr);
    ASSERT_NE(Owned::From(window), nullptr);
    EXPECT_EQ(log.front(), static_cast<UINT>(WM_INITDIALOG));
    DestroyWindow(window);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), kDeleted);  // nothing reached it after its deletion
    EXPECT_EQ(std::count(log.begin(), log.end(), kDeleted), 1);
    EXPECT_NE(std::find(log.begin(), log.end(), WM_DESTROY), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), WM_NCDESTROY), log.end());

    // A dialog that cannot be made leaves the object to Create, which deletes it.
    log.clear();
    EXPECT_EQ(Owned::Create(instance, 0x7FFF, nullptr, std::make_unique<Probe>(&log)), nullptr);
    EXPECT_EQ(log, std::vector<UINT>{kDeleted});
}

TEST(WindowBinding, ABorrowedObjectOutlivesItsModalDialog) {
    std::vector<UINT> log;
    {
        Probe probe(&log);
        EXPECT_EQ(Borrowed::Run(GetModuleHandleA(nullptr), IDD_BEST_NAME, nullptr, probe), 7);
        EXPECT_EQ(std::count(log.begin(), log.end(), kDeleted), 0);
    }
    EXPECT_EQ(log.back(), kDeleted);
}

}  // namespace
