#include "shell/media_key_hold.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kTenMinutes = 10 * 60 * 1000;

TEST(MediaKeyHold, HeldWhilePlayingAndForTenMinutesAfterAMediaKeyStopOnly) {
    MediaKeyHold hold;
    uint64_t now = 5000;  // the fake clock
    EXPECT_FALSE(hold.Held(now));
    hold.Started();
    EXPECT_TRUE(hold.Held(now));

    // A song change: the stop is void once the same command started the next.
    hold.Stopped(StopCause::Other);
    EXPECT_TRUE(hold.Held(now));  // not before it is settled
    hold.Started();
    hold.Settle(now);
    EXPECT_TRUE(hold.Held(now += kTenMinutes * 2));

    hold.Stopped(StopCause::MediaKey);
    hold.Settle(now);
    EXPECT_EQ(hold.HoldEnds(), now + kTenMinutes);
    EXPECT_TRUE(hold.Held(now + kTenMinutes - 1));
    EXPECT_FALSE(hold.Held(now + kTenMinutes));

    // The key plays again within them: held for as long as it plays.
    hold.Started();
    EXPECT_TRUE(hold.Held(now += kTenMinutes * 2));

    // Any other stop lets go, during the hold after a media key's stop too.
    hold.Stopped(StopCause::MediaKey);
    hold.Settle(now);
    hold.Stopped(StopCause::Other);
    hold.Settle(now);
    EXPECT_FALSE(hold.Held(now));
}

TEST(MediaKeyHold, SettingOffHoldsNothingAndOnTakesThemOnlyWhilePlaying) {
    MediaKeyHold hold;
    hold.SetSetting(MediaKeySetting::Off);
    hold.Started();
    EXPECT_FALSE(hold.Held(0));
    hold.SetSetting(MediaKeySetting::On);
    EXPECT_TRUE(hold.Held(0));

    hold.Stopped(StopCause::MediaKey);
    hold.Settle(0);
    hold.SetSetting(MediaKeySetting::Off);
    hold.SetSetting(MediaKeySetting::On);
    EXPECT_FALSE(hold.Held(0));
}

}  // namespace
