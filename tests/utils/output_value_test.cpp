// The "Output" value's forms and the device each chooses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/output_value.h"

namespace {

using outputs::OutputSetting;

TEST(OutputSetting, EveryFormOfTheValue) {
    auto parse = [](const std::string &text) { return outputs::ParseOutputSetting(text.data(), text.size()); };
    EXPECT_EQ(outputs::ParseOutputSetting(nullptr, 0).kind, OutputSetting::Mapper);
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
    EXPECT_EQ(parse("log:" + std::string(outputs::kMaxLogPathBytes, 'a')).kind, OutputSetting::Log);

    for (const std::string &bad : {std::string("midi:"), std::string("midi:-1"), std::string("midi:1x"),
                                   std::string("midi:70000"), std::string("midi:000001"), std::string("log:"),
                                   "log:" + std::string(outputs::kMaxLogPathBytes + 1, 'a'), std::string("speaker"),
                                   std::string("midi:1\0", 7),
                                   std::string("midi:name:"), "midi:name:" + std::string(32, 'n')})
        EXPECT_EQ(parse(bad).kind, OutputSetting::Invalid) << bad;
}

// The device that plays: by number as stored, by name wherever the device
// is now, and the mapper while the named device is missing.
TEST(OutputSetting, ChoosesTheDeviceByNumberOrByName) {
    auto choose = [](const std::string &text, const std::vector<std::string> &names) {
        return outputs::ChooseDevice(outputs::ParseOutputSetting(text.data(), text.size()), names);
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

}  // namespace
