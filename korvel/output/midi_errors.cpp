#include "korvel/output/midi_errors.h"

namespace korvel {
namespace {

// The results by which a device announces that it no longer exists.
bool DeviceGone(unsigned result) {
    return result == mmresult::kBadDeviceId || result == mmresult::kNoDriver || result == mmresult::kNoDevice;
}

}  // namespace

SendAction ActionAfterSend(unsigned result) {
    // An unplugged USB or Bluetooth device answers NODRIVER or NODEVICE from
    // then on, and a handle the system has torn down INVALHANDLE: playing on
    // would be silence on a dead handle.
    if (result == mmresult::kNoDriver || result == mmresult::kNoDevice || result == mmresult::kInvalidHandle)
        return SendAction::GiveUpOutput;
    return SendAction::Continue;
}

OpenFailure JudgeOpenFailure(unsigned result, OpenTarget target, unsigned deviceCount) {
    if (result == mmresult::kAllocated) return {false, OutputError::DeviceBusy};
    bool gone = DeviceGone(result) || deviceCount == 0;
    if (gone) return {target == OpenTarget::Device, OutputError::NoDevice};
    return {false, OutputError::DeviceFailed};
}

OutputError LostOutputError(unsigned result) {
    return DeviceGone(result) ? OutputError::NoDevice : OutputError::DeviceFailed;
}

}  // namespace korvel
