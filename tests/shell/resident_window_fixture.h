// The real resident window from the real resources, made afresh for each
// test, and the real message loop run over what is queued.
#ifndef TIVORN_TESTS_SHELL_RESIDENT_WINDOW_FIXTURE_H
#define TIVORN_TESTS_SHELL_RESIDENT_WINDOW_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include "shell/application.h"
#include "shell/message_loop.h"
#include "testing/store_fixture.h"
#include "testing/win_test_support.h"

class ResidentWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = app_.CreateResidentWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window_);
        tt::PumpMessages();
    }

    // Runs the real message loop over what is queued, then ends it.
    void RunLoopOnce() {
        PostQuitMessage(0);
        EXPECT_EQ(app_.RunMessageLoop(), 0);
    }

    Application app_{GetModuleHandleA(nullptr), tt::TestRegistryRoot()};
    HWND window_ = nullptr;
};

#endif
