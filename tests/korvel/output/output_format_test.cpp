// The log output's line format, and the mapper giving way to the chosen device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvel/output/log_line.h"
#include "korvel/output/output_fallback.h"
#include "korvel/output/output_setting.h"

namespace {

using korvel::OutputSetting;

TEST(LogLine, MessagesAndMarkersHaveTheirExactForm) {
    std::string log;
    const uint8_t note[] = {0x90, 0x3C, 0x00};
    const uint8_t reset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    const uint8_t off[] = {0xB9, 0x7B, 0x00};
    // The path's bytes as given: the log output hands them over in UTF-8.
    korvel::AppendWordLine(log, "open", "C:\\\xE3\x82\xBD\xE3\x83\xB3\xE3\x82\xB0.mid");
    korvel::AppendWordLine(log, "start");
    korvel::AppendMessageLine(log, 0, reset, sizeof reset, true);
    korvel::AppendMessageLine(log, 1234567890123, note, sizeof note, false);
    korvel::AppendMessageLine(log, 10, off, sizeof off, true);
    korvel::AppendWordLine(log, "end");
    EXPECT_EQ(log,
              "open C:\\\xE3\x82\xBD\xE3\x83\xB3\xE3\x82\xB0.mid\r\n"
              "start\r\n"
              "0 F0 7E 7F 09 01 F7 *\r\n"
              "1234567890123 90 3C 00\r\n"
              "10 B9 7B 00 *\r\n"
              "end\r\n");
}

// After a wake or at logon the chosen device may come back later than the
// mapper: the wait asks for that device, and the mapper standing in for it
// gives way once it is listed; an output that plays as chosen is kept.
TEST(OutputSetting, TheMapperGivesWayToTheChosenDeviceOnceItIsListed) {
    auto parse = [](const std::string &text) { return korvel::ParseOutputSetting(text.data(), text.size()); };
    const std::vector<std::string> none, synth = {"Synth"}, both = {"Synth", "Cable"};
    const OutputSetting cable = parse("midi:name:Cable"), mapper = parse(""), log = parse("log:a.log");
    EXPECT_FALSE(outputs::ChosenOutputListed(cable, synth));
    EXPECT_TRUE(outputs::ChosenOutputListed(cable, both));
    EXPECT_FALSE(outputs::ChosenOutputListed(mapper, none));
    EXPECT_TRUE(outputs::ChosenOutputListed(log, none));

    using korvel::OutputStep;
    korvel::OpenedOutput standIn = {cable, true}, playing = {cable, false};
    EXPECT_EQ(korvel::NextOutputStep(standIn, cable, synth), OutputStep::Keep);
    EXPECT_EQ(korvel::NextOutputStep(standIn, cable, both), OutputStep::Reopen);
    EXPECT_EQ(korvel::NextOutputStep(standIn, log, synth), OutputStep::Reopen);
    EXPECT_EQ(korvel::NextOutputStep(standIn, mapper, both), OutputStep::Keep);
    EXPECT_FALSE(standIn.mapperInstead);  // chosen now: no device to look for
    EXPECT_EQ(korvel::NextOutputStep(playing, cable, both), OutputStep::Keep);
    EXPECT_EQ(korvel::NextOutputStep(playing, mapper, both), OutputStep::Reopen);
}

}  // namespace
