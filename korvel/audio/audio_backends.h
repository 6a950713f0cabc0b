// The audio devices the render thread writes to: WASAPI in shared mode,
// driven by the device's event, at the device's own mix format; waveOut
// through the wave mapper where WASAPI is not to be had.  Internal to the
// render thread of audio_device.cpp (and the fakes of its tests).
#ifndef TIVORN_KORVEL_AUDIO_BACKENDS_H
#define TIVORN_KORVEL_AUDIO_BACKENDS_H

#include <windows.h>

#include <mmdeviceapi.h>
#include <mmsystem.h>

#include <memory>

#include "korvel/audio/audio_device.h"
#include "korvel/audio/audio_format.h"
#include "utils/com.h"
#include "utils/handles.h"

namespace korvel {


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
    HANDLE Ready() const { return ready_.Get(); }    // set whenever the device took a block
    UINT32 Target() const { return target_; }  // frames kept queued
    UINT32 Granule() const { return granule_; }
    LONGLONG LaterQpc() const { return laterQpc_; }  // from the mixer to the ear, as the device tells

protected:
    DeviceFormat format_;
    KernelHandle ready_;
    UINT32 target_ = 0;
    UINT32 granule_ = 1;
    LONGLONG laterQpc_ = 0;
};

// The system's devices as the render thread opens them (tests stand in
// fakes).  Called on the render thread only.
class DeviceSystem {
public:
    virtual ~DeviceSystem() = default;
    // Set when the default render device changes.
    virtual HANDLE Changed() const = 0;
    // Whether WASAPI may be asked at all: not without its enumerator
    // (before Vista), nor where only waveOut was asked for.
    virtual bool HasWasapi() const = 0;
    // The default device through WASAPI, or the failure's HRESULT.
    virtual HRESULT OpenWasapi(std::unique_ptr<Device> *out) = 0;
    // The wave mapper, or the failure's MMRESULT.
    virtual MMRESULT OpenWaveOut(std::unique_ptr<Device> *out) = 0;
    // Whether device is a WASAPI device that is still the default one; a
    // waveOut device never is.
    virtual bool IsStillDefault(const Device &device) const = 0;
};

// COM on the render thread, the device enumerator and its notices.
class Session final : public DeviceSystem {
public:
    // Without WASAPI (WaveOutOnly) there is no enumerator, and so no notice
    // of a new default device either.
    explicit Session(AudioApis apis);
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    HANDLE Changed() const override { return changed_.Get(); }
    bool HasWasapi() const override { return enumerator_.Get() != nullptr; }
    HRESULT OpenWasapi(std::unique_ptr<Device> *out) override;
    MMRESULT OpenWaveOut(std::unique_ptr<Device> *out) override;
    bool IsStillDefault(const Device &device) const override;

private:
    ComApartment com_;
    KernelHandle changed_;
    ComPtr<IMMDeviceEnumerator> enumerator_;
    ComPtr<IMMNotificationClient> notice_;
};

struct OpenAttempt {
    std::unique_ptr<Device> device;
    AudioError error = AudioError::None;
    long code = 0;
};

// The default device through WASAPI, else the wave mapper.
OpenAttempt OpenDefaultDevice(DeviceSystem &system);

}  // namespace korvel

#endif
