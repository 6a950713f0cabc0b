#include "tests/korvel/dll/korvel_test_windows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/resident_window.h"

namespace kt {

RecordingWindow::RecordingWindow(const char *title, bool resident) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KorvelTestRecorder";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                              nullptr, nullptr, windowClass.hInstance, this);
    EXPECT_NE(window_, nullptr);
    if (resident) SetPropA(window_, TIVORN_RESIDENT_PROP, TIVORN_TAG_RUNNING_COPY);
}

bool RecordingWindow::HasKey(WPARAM key) const {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

LRESULT CALLBACK RecordingWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams));
    auto *self = reinterpret_cast<RecordingWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) RemovePropA(window, TIVORN_RESIDENT_PROP);
    if (message == WM_COPYDATA && self) {
        self->codes.push_back(reinterpret_cast<const COPYDATASTRUCT *>(lParam)->dwData);
        return 0;
    }
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && self) {
        self->keys.push_back(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kt
