#include "korvel/output/output_fallback.h"

namespace korvel {
namespace {

bool SameSetting(const OutputSetting &a, const OutputSetting &b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case OutputSetting::Device: return a.device == b.device;
    case OutputSetting::DeviceName: return a.deviceName == b.deviceName;
    case OutputSetting::Log: return a.logPath == b.logPath;
    case OutputSetting::Synth: return a.soundFontPath == b.soundFontPath;
    default: return true;
    }
}

}  // namespace

OutputStep NextOutputStep(OpenedOutput &open, const OutputSetting &wanted, const std::vector<std::string> &names) {
    bool onMapper = open.setting.kind == OutputSetting::Mapper || open.mapperInstead;
    bool keep;
    if (!onMapper) {
        keep = SameSetting(open.setting, wanted);
    } else if (wanted.kind == OutputSetting::Mapper) {
        keep = true;
    } else if (wanted.kind == OutputSetting::Device || wanted.kind == OutputSetting::DeviceName) {
        // A device that is not listed would only give way to the mapper again.
        keep = !outputs::ChosenOutputListed(wanted, names);
    } else {
        keep = false;  // a log, or a value that opening will say is wrong
    }
    if (!keep) return OutputStep::Reopen;
    open.mapperInstead = onMapper && wanted.kind != OutputSetting::Mapper;
    open.setting = wanted;
    return OutputStep::Keep;
}

}  // namespace korvel
