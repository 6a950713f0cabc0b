// What the results of the MIDI output calls lead to: the song given up, the
// mapper tried, which message the user gets.
#include "korvel/output/midi_errors.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using korvel::OpenTarget;
using korvel::OutputError;
namespace mm = korvel::mmresult;

TEST(MidiErrors, ADeadHandleGivesTheOutputUpAndAGoneDeviceGivesWayToTheMapper) {
    // Only a dead handle ends the song; a busy or short-of-memory driver
    // (NOTREADY, NOMEM) loses just the message.
    for (unsigned result : {mm::kNoDriver, mm::kNoDevice, mm::kInvalidHandle, mm::kNoError, 67u, 7u})
        EXPECT_EQ(korvel::ActionAfterSend(result) == korvel::SendAction::GiveUpOutput, result == mm::kNoDriver ||
                  result == mm::kNoDevice || result == mm::kInvalidHandle) << result;
    EXPECT_EQ(korvel::LostOutputError(mm::kNoDriver), OutputError::NoDevice);
    EXPECT_EQ(korvel::LostOutputError(mm::kInvalidHandle), OutputError::DeviceFailed);

    auto judged = [](unsigned result, OpenTarget target, unsigned devices) {
        korvel::OpenFailure failure = korvel::JudgeOpenFailure(result, target, devices);
        return std::make_pair(failure.tryMapper, failure.error);
    };
    EXPECT_EQ(judged(mm::kNoDriver, OpenTarget::Device, 3), std::make_pair(true, OutputError::NoDevice));
    EXPECT_EQ(judged(mm::kBadDeviceId, OpenTarget::Device, 2), std::make_pair(true, OutputError::NoDevice));
    EXPECT_EQ(judged(mm::kNoDevice, OpenTarget::Mapper, 3), std::make_pair(false, OutputError::NoDevice));
    EXPECT_EQ(judged(mm::kAllocated, OpenTarget::Device, 3), std::make_pair(false, OutputError::DeviceBusy));
    EXPECT_EQ(judged(1, OpenTarget::Device, 3), std::make_pair(false, OutputError::DeviceFailed));
}

}  // namespace
