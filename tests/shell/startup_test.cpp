// The start-up load's use of the settings block: repeat-one, the start-up
// copies and the hotkey hook.
#include <gtest/gtest.h>

#include "shell/application.h"
#include "shell/hotkeys.h"
#include "shell/startup.h"
#include "store/store.h"
#include "testing/store_fixture.h"
#include "testing/win_test_support.h"

namespace {

using namespace tt;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_key::Clear();
        App().store().UseDataFolder(store::DataFolder{});
        App().store().UseSettings(nullptr, 0);
    }
    void TearDown() override {
        RemoveHotkeyHook(App().state());
        program_key::Clear();
    }

    // A best settings dialog that the start-up load opens stays open, as it
    // would in the program, and its host with it.
    static Application &App() {
        static Application app(nullptr, TestRegistryRoot());
        return app;
    }
};

TEST_F(StartupTest, StartUpClearsRepeatOneAndInstallsTheHookOnRequest) {
    program_key::WriteSettings(program_key::Settings(0x20 | 0x40, 0x0227, 0x0624));
    ASSERT_EQ(App().store().LoadSettings(), LoadResult::Ready);
    ASSERT_EQ(RunStartupLoad(App()), 1);
    EXPECT_EQ(App().store().option(Option::RepeatOne), 0);
    EXPECT_TRUE(App().store().option(Option::AltMarkIcons));
    EXPECT_EQ(App().store().settings().hotkey(HotkeyIndex::Next), 0x0227u);
    EXPECT_EQ(App().store().settings().hotkey(HotkeyIndex::Menu), 0x0624u);
    EXPECT_EQ(App().state().hook.get(), nullptr);
    EXPECT_FALSE(program_key::Exists(program_key::Key(), "Hook"));

    program_key::WriteSettings(program_key::Settings(0x01));
    ASSERT_EQ(App().store().LoadSettings(), LoadResult::Ready);
    ASSERT_EQ(RunStartupLoad(App()), 1);
    ASSERT_NE(App().state().hook.get(), nullptr);
    std::string hook;
    DWORD type = 0;
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "Hook", &hook, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(hook.size(), 4u);
}

}  // namespace
