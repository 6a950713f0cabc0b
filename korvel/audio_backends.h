// The audio devices the render thread writes to: WASAPI in shared mode,
// driven by the device's event, at the device's own mix format; waveOut
// through the wave mapper where WASAPI is not to be had.  Internal to the
// render thread of audio_device.cpp.
#ifndef TIVORN_KORVEL_AUDIO_BACKENDS_H
#define TIVORN_KORVEL_AUDIO_BACKENDS_H

#include <windows.h>

#include <mmdeviceapi.h>

#include <memory>

#include "korvel/audio_device.h"
#include "korvel/audio_format.h"
#include "utils/com.h"

namespace korvel {

LONGLONG QpcFrequency();

// An open device, started or not.
class Device {
public:
    virtual ~Device() = default;
    virtual AudioApi Api() const = 0;
    // Frames the device still has to play, and frames it can take now.
    virtual HRESULT Query(UINT32 *queued, UINT32 *room) = 0;
    // frames (at most room, a multiple of Granule) of stereo at the device's rate.
    virtual HRESULT Write(const float *stereo, UINT32 frames) = 0;
    virtual HRESULT Start() = 0;
    virtual void Stop() = 0;

    const DeviceFormat &Format() const { return format_; }
    HANDLE Ready() const { return ready_; }    // set whenever the device took a block
    UINT32 Target() const { return target_; }  // frames kept queued
    UINT32 Granule() const { return granule_; }
    LONGLONG LaterQpc() const { return laterQpc_; }  // from the mixer to the ear, as the device tells

protected:
    DeviceFormat format_;
    HANDLE ready_ = nullptr;
    UINT32 target_ = 0;
    UINT32 granule_ = 1;
    LONGLONG laterQpc_ = 0;
};

// COM on the render thread, the device enumerator and its notices.
class Session {
public:
    // Without WASAPI (WaveOutOnly) there is no enumerator, and so no notice
    // of a new default device either.
    explicit Session(AudioApis apis);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    IMMDeviceEnumerator *Enumerator() const { return enumerator_.Get(); }
    HANDLE Changed() const { return changed_; }

private:
    ComApartment com_;
    HANDLE changed_;
    ComPtr<IMMDeviceEnumerator> enumerator_;
    ComPtr<IMMNotificationClient> notice_;
};

struct OpenAttempt {
    std::unique_ptr<Device> device;
    AudioError error = AudioError::None;
    long code = 0;
};

// The default device through WASAPI, else the wave mapper.
OpenAttempt OpenDefaultDevice(const Session &session);

// Whether device is a WASAPI device that is still the default one; a
// waveOut device, or any without the enumerator, never is.
bool IsStillDefault(const Device &device, const Session &session);

}  // namespace korvel

#endif
