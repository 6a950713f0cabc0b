// The log output's line format and the "Output" value's forms.
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

TEST(OutputSetting, EveryFormOfTheValue) {
    auto parse = [](const std::string &text) { return korvel::ParseOutputSetting(text.data(), text.size()); };
    EXPECT_EQ(korvel::ParseOutputSetting(nullptr, 0).kind, OutputSetting::Mapper);
    EXPECT_EQ(parse("").kind, OutputSetting::Mapper);

    OutputSetting device = parse("MIDI:12");
    EXPECT_EQ(device.kind, OutputSetting::Device);
    EXPECT_EQ(device.device, 12u);
    EXPECT_EQ(parse("midi:0").device, 0u);

    OutputSetting named = parse("MIDI:Name:Synth & \x83\x5c 1:2");  // any bytes, ':' too
    EXPECT_EQ(named.kind, OutputSetting::DeviceName);
    EXPECT_EQ(named.deviceName, "Synth & \x83\x5c 1:2");
    EXPECT_EQ(parse(outputs::DeviceNameValue(std::string(31, 'n'))).deviceName, std::string(31, 'n'));

    OutputSetting log = parse("log:C:\\logs\\\x83\x5c.txt");
    EXPECT_EQ(log.kind, OutputSetting::Log);
    EXPECT_EQ(log.logPath, "C:\\logs\\\x83\x5c.txt");
    EXPECT_EQ(parse("log:" + std::string(korvel::kMaxLogPathBytes, 'a')).kind, OutputSetting::Log);

    for (const std::string &bad : {std::string("midi:"), std::string("midi:-1"), std::string("midi:1x"),
                                   std::string("midi:70000"), std::string("midi:000001"), std::string("log:"),
                                   "log:" + std::string(korvel::kMaxLogPathBytes + 1, 'a'), std::string("speaker"),
                                   std::string("midi:1\0", 7),
                                   std::string("midi:name:"), "midi:name:" + std::string(32, 'n')})
        EXPECT_EQ(parse(bad).kind, OutputSetting::Invalid) << bad;
}

// The device that plays: by number as stored, by name wherever the device
// is now, and the mapper while the named device is missing.
TEST(OutputSetting, ChoosesTheDeviceByNumberOrByName) {
    auto choose = [](const std::string &text, const std::vector<std::string> &names) {
        return outputs::ChooseDevice(korvel::ParseOutputSetting(text.data(), text.size()), names);
    };
    const std::vector<std::string> names = {"Synth", "Cable", "Synth"};
    EXPECT_EQ(choose("", names), outputs::kMapper);
    EXPECT_EQ(choose("midi:1", names), 1);
    EXPECT_EQ(choose("midi:7", names), 7);  // opening it says the device is missing
    EXPECT_EQ(choose("midi:name:Cable", names), 1);
    EXPECT_EQ(choose("midi:name:Synth", names), 0);  // the first of two alike
    EXPECT_EQ(choose("midi:name:Gone", names), outputs::kMapper);
    EXPECT_EQ(choose("midi:name:cable", names), outputs::kMapper);  // names are matched exactly
    EXPECT_EQ(choose("midi:name:Cable", {}), outputs::kMapper);
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
