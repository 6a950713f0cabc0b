// The window both Windows test programs of the engine library stand up: it
// records the WM_COPYDATA codes and the keys it receives.
#ifndef TIVORN_TESTS_KORVEL_TEST_WINDOWS_H
#define TIVORN_TESTS_KORVEL_TEST_WINDOWS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/win_test_support.h"

namespace kt {

// A top-level window of the creating thread.  Titled "Tivorn" and marked
// resident, it stands for the running copy's window.
class RecordingWindow {
public:
    RecordingWindow(const char *title, bool resident);
    ~RecordingWindow() { DestroyWindow(window_); }
    RecordingWindow(const RecordingWindow &) = delete;
    RecordingWindow &operator=(const RecordingWindow &) = delete;

    HWND handle() const { return window_; }
    bool HasKey(WPARAM key) const;
    std::vector<ULONG_PTR> codes;  // dwData of each WM_COPYDATA
    std::vector<WPARAM> keys;      // WM_KEYDOWN and WM_SYSKEYDOWN

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
};

}  // namespace kt

#endif
