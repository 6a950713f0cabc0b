#include "korvel/dll/output_factory.h"

#include <mmsystem.h>

#include "korvel/output/device_output.h"
#include "korvel/output/log_output.h"

namespace korvel {

OpenResult OpenOutput(const OutputSetting &setting, MapperFallback fallback, SoundFontHolder &fonts) {
    switch (setting.kind) {
    case OutputSetting::DeviceName: {
        // A device that is not plugged in plays on the mapper, without a
        // word; the value stays, so the device is used again once it is back.
        int device = outputs::ChooseDevice(setting, OutputDeviceNames());
        if (device != outputs::kMapper) return OpenDevice(static_cast<UINT>(device), OpenTarget::Device, fallback);
        OpenResult result;
        if (fallback == MapperFallback::None) {
            result.error = OutputError::NoDevice;
            return result;
        }
        result = OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
        result.mapperInstead = result.output != nullptr;
        return result;
    }
    case OutputSetting::Mapper:
        return OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
    case OutputSetting::Device:
        return OpenDevice(setting.device, OpenTarget::Device, fallback);
    case OutputSetting::Log:
        return OpenLog(setting.logPath);
    case OutputSetting::Synth: {
        SoundFontHolder::Loaded loaded = fonts.Load(setting.soundFontPath);
        if (loaded.font) return OpenSynthOutput(std::move(loaded.font), fonts.figures);
        OpenResult result;
        if (fallback == MapperFallback::None) {
            result.error = OutputError::DeviceFailed;
        } else {
            result = OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
            result.mapperInstead = result.output != nullptr;
        }
        result.fontProblem = loaded.problem;
        result.fontProblemIsNew = loaded.news;
        return result;
    }
    default: {
        OpenResult result;
        result.error = OutputError::BadSetting;
        return result;
    }
    }
}

}  // namespace korvel
