// What the results of the MIDI output calls lead to: the song given up, the
// mapper tried, which message the user gets.
#include "korvel/midi_errors.h"

#include <gtest/gtest.h>

namespace {

using korvel::OpenTarget;
using korvel::OutputError;
using korvel::SendAction;
namespace mm = korvel::mmresult;

TEST(MidiErrors, ADeadHandleGivesTheOutputUpAndAGoneDeviceGivesWayToTheMapper) {
    // Results of midiOut calls on an open device: only a dead handle ends
    // the song; a busy or short-of-memory driver loses just the message.
    for (unsigned dead : {mm::kNoDriver, mm::kNoDevice, mm::kInvalidHandle})
        EXPECT_EQ(korvel::ActionAfterSend(dead), SendAction::GiveUpOutput) << dead;
    for (unsigned passing : {mm::kNoError, 67u /* MIDIERR_NOTREADY */, 7u /* NOMEM */, 11u /* INVALPARAM */})
        EXPECT_EQ(korvel::ActionAfterSend(passing), SendAction::Continue) << passing;
    EXPECT_EQ(korvel::LostOutputError(mm::kNoDriver), OutputError::NoDevice);
    EXPECT_EQ(korvel::LostOutputError(mm::kInvalidHandle), OutputError::DeviceFailed);

    struct Case {
        unsigned result;
        OpenTarget target;
        unsigned devices;
        bool tryMapper;
        OutputError error;
    } cases[] = {
        {mm::kNoDriver, OpenTarget::Device, 3, true, OutputError::NoDevice},
        {mm::kNoDevice, OpenTarget::Device, 3, true, OutputError::NoDevice},
        {mm::kBadDeviceId, OpenTarget::Device, 2, true, OutputError::NoDevice},  // unplugged: numbers moved up
        {mm::kNoDriver, OpenTarget::Mapper, 3, false, OutputError::NoDevice},    // the mapper is the last resort
        {mm::kAllocated, OpenTarget::Device, 3, false, OutputError::DeviceBusy}, // in use is not gone
        {1, OpenTarget::Device, 3, false, OutputError::DeviceFailed},
        {69, OpenTarget::Mapper, 0, false, OutputError::NoDevice},  // no device at all
    };
    for (const Case &c : cases) {
        korvel::OpenFailure failure = korvel::JudgeOpenFailure(c.result, c.target, c.devices);
        EXPECT_EQ(failure.tryMapper, c.tryMapper) << c.result;
        EXPECT_EQ(failure.error, c.error) << c.result;
    }
}

}  // namespace
