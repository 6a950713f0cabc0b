#include "korvel/audio/audio_backends.h"
#include "korvel/system/clock.h"

#include <audioclient.h>
#include <mmsystem.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace korvel {
namespace {

// The device's own period is the engine's pace; two of them are kept
// queued, about 20 ms, which rides out a late wake on a busy machine.
constexpr REFERENCE_TIME kDefaultPeriodHns = 100000;  // 10 ms
constexpr REFERENCE_TIME kHnsPerSecond = 10000000;
// GetDefaultAudioEndpoint's answer when there is no render device at all.
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
// waveOut: buffers of 10 ms, all of them kept queued.
constexpr UINT kWaveBuffers = 4;

// The subformats of WAVE_FORMAT_EXTENSIBLE share all but their first field
// with the format tag's GUID; mingw-w64 may lack the KSDATAFORMAT symbols.
bool IsTagGuid(const GUID &guid, WORD tag) {
    static const BYTE kTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    return guid.Data1 == tag && guid.Data2 == 0 && guid.Data3 == 0x0010 && std::memcmp(guid.Data4, kTail, 8) == 0;
}

bool ReadWaveFormat(const WAVEFORMATEX &wave, DeviceFormat *format) {
    format->rate = static_cast<int>(wave.nSamplesPerSec);
    format->channels = wave.nChannels;
    format->containerBits = wave.wBitsPerSample;
    format->validBits = wave.wBitsPerSample;
    WORD tag = wave.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (wave.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
        const auto &extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE &>(wave);
        if (extensible.Samples.wValidBitsPerSample) format->validBits = extensible.Samples.wValidBitsPerSample;
        if (IsTagGuid(extensible.SubFormat, WAVE_FORMAT_IEEE_FLOAT))
            tag = WAVE_FORMAT_IEEE_FLOAT;
        else if (IsTagGuid(extensible.SubFormat, WAVE_FORMAT_PCM))
            tag = WAVE_FORMAT_PCM;
        else
            return false;
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT)
        format->encoding = DeviceFormat::Encoding::Float;
    else if (tag == WAVE_FORMAT_PCM)
        format->encoding = DeviceFormat::Encoding::Pcm;
    else
        return false;
    return CanConvertTo(*format) && wave.nBlockAlign == format->BytesPerFrame();
}

class WasapiDevice : public Device {
public:
    ~WasapiDevice() override {
        Stop();
        render_.Reset();
        client_.Reset();
    }

    static HRESULT Open(IMMDeviceEnumerator *enumerator, std::unique_ptr<Device> *out) {
        std::unique_ptr<WasapiDevice> device(new WasapiDevice);
        HRESULT result = device->OpenDefault(enumerator);
        if (SUCCEEDED(result)) *out = std::move(device);
        return result;
    }

    // The default device's id, or empty when there is none.
    static std::wstring DefaultId(IMMDeviceEnumerator *enumerator) {
        std::wstring id;
        ComPtr<IMMDevice> device;
        if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.Put()))) return id;
        LPWSTR text = nullptr;
        if (SUCCEEDED(device->GetId(&text)) && text) id = text;
        CoTaskMemFree(text);
        return id;
    }

    AudioApi Api() const override { return AudioApi::Wasapi; }
    const std::wstring &Id() const { return id_; }

    HRESULT Query(UINT32 *queued, UINT32 *room) override {
        UINT32 padding = 0;
        HRESULT result = client_->GetCurrentPadding(&padding);
        if (FAILED(result)) return result;
        *queued = padding;
        *room = padding < bufferFrames_ ? bufferFrames_ - padding : 0;
        return S_OK;
    }

    HRESULT Write(const float *stereo, UINT32 frames) override {
        BYTE *data = nullptr;
        HRESULT result = render_->GetBuffer(frames, &data);
        if (FAILED(result)) return result;
        ConvertFrames(stereo, frames, format_, data);
        return render_->ReleaseBuffer(frames, 0);
    }

    HRESULT Start() override {
        HRESULT result = client_->Start();
        started_ = SUCCEEDED(result);
        return result;
    }

    void Stop() override {
        if (started_) client_->Stop();
        started_ = false;
    }

private:
    HRESULT OpenDefault(IMMDeviceEnumerator *enumerator) {
        ComPtr<IMMDevice> device;
        HRESULT result = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.Put());
        if (FAILED(result)) return result;
        LPWSTR id = nullptr;
        if (SUCCEEDED(device->GetId(&id)) && id) id_ = id;
        CoTaskMemFree(id);
        result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client_.PutVoid());
        if (FAILED(result)) return result;

        WAVEFORMATEX *mix = nullptr;
        result = client_->GetMixFormat(&mix);
        if (FAILED(result)) return result;
        bool usable = ReadWaveFormat(*mix, &format_);
        REFERENCE_TIME period = 0, minimum = 0;
        if (FAILED(client_->GetDevicePeriod(&period, &minimum)) || period <= 0) period = kDefaultPeriodHns;
        // In shared mode the buffer is at least what the engine needs; two
        // periods is what is asked for, and what is kept queued.
        if (usable)
            result = client_->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, 2 * period, 0,
                                         mix, nullptr);
        CoTaskMemFree(mix);
        if (!usable) return AUDCLNT_E_UNSUPPORTED_FORMAT;
        if (FAILED(result)) return result;

        ready_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!ready_) return HRESULT_FROM_WIN32(GetLastError());
        if (FAILED(result = client_->SetEventHandle(ready_.Get()))) return result;
        if (FAILED(result = client_->GetBufferSize(&bufferFrames_))) return result;
        result = client_->GetService(__uuidof(IAudioRenderClient), render_.PutVoid());
        if (FAILED(result)) return result;
        auto frames = [this](REFERENCE_TIME hns) {
            return static_cast<UINT32>((hns * format_.rate + kHnsPerSecond - 1) / kHnsPerSecond);
        };
        target_ = std::min(bufferFrames_, frames(2 * period));
        REFERENCE_TIME latency = 0;
        if (SUCCEEDED(client_->GetStreamLatency(&latency)) && latency > 0)
            laterQpc_ = latency * clock::Frequency() / kHnsPerSecond;
        return S_OK;
    }

    ComPtr<IAudioClient> client_;
    ComPtr<IAudioRenderClient> render_;
    UINT32 bufferFrames_ = 0;
    bool started_ = false;
    std::wstring id_;
};

class WaveOutDevice : public Device {
public:
    ~WaveOutDevice() override {
        Stop();
        if (wave_) {
            for (WAVEHDR &header : headers_)
                if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(wave_, &header, sizeof header);
            waveOutClose(wave_);
        }
    }

    static MMRESULT Open(std::unique_ptr<Device> *out) {
        std::unique_ptr<WaveOutDevice> device(new WaveOutDevice);
        MMRESULT result = device->OpenMapper();
        if (result == MMSYSERR_NOERROR) *out = std::move(device);
        return result;
    }

    AudioApi Api() const override { return AudioApi::WaveOut; }

    HRESULT Query(UINT32 *queued, UINT32 *room) override {
        UINT busy = 0;
        for (const WAVEHDR &header : headers_)
            if (header.dwFlags & WHDR_INQUEUE) ++busy;
        *queued = busy * granule_;
        *room = (kWaveBuffers - busy) * granule_;
        return S_OK;
    }

    HRESULT Write(const float *stereo, UINT32 frames) override {
        for (WAVEHDR &header : headers_) {
            if (frames < granule_) break;
            if (header.dwFlags & WHDR_INQUEUE) continue;
            ConvertFrames(stereo, granule_, format_, header.lpData);
            header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            MMRESULT result = waveOutWrite(wave_, &header, sizeof header);
            if (result != MMSYSERR_NOERROR) return E_FAIL;
            stereo += 2 * granule_;
            frames -= granule_;
        }
        return S_OK;
    }

    HRESULT Start() override { return S_OK; }  // it plays from the first buffer written

    void Stop() override {
        if (wave_) waveOutReset(wave_);  // hands every buffer back
    }

private:
    MMRESULT OpenMapper() {
        ready_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!ready_) return MMSYSERR_NOMEM;
        if (waveOutGetNumDevs() == 0) return MMSYSERR_BADDEVICEID;
        MMRESULT result = MMSYSERR_ERROR;
        for (DWORD rate : {48000u, 44100u}) {
            WAVEFORMATEX wave = {};
            wave.wFormatTag = WAVE_FORMAT_PCM;
            wave.nChannels = 2;
            wave.nSamplesPerSec = rate;
            wave.wBitsPerSample = 16;
            wave.nBlockAlign = 4;
            wave.nAvgBytesPerSec = rate * 4;
            result = waveOutOpen(&wave_, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(ready_.Get()), 0, CALLBACK_EVENT);
            if (result == MMSYSERR_NOERROR) {
                ReadWaveFormat(wave, &format_);
                break;
            }
            wave_ = nullptr;
            if (result != WAVERR_BADFORMAT) return result;
        }
        if (result != MMSYSERR_NOERROR) return result;
        granule_ = static_cast<UINT32>(format_.rate / 100);
        target_ = granule_ * kWaveBuffers;
        size_t bytes = static_cast<size_t>(granule_) * format_.BytesPerFrame();
        for (UINT i = 0; i < kWaveBuffers; ++i) {
            data_[i].assign(bytes, 0);
            headers_[i].lpData = data_[i].data();
            headers_[i].dwBufferLength = static_cast<DWORD>(bytes);
            result = waveOutPrepareHeader(wave_, &headers_[i], sizeof headers_[i]);
            if (result != MMSYSERR_NOERROR) return result;
        }
        return MMSYSERR_NOERROR;
    }

    HWAVEOUT wave_ = nullptr;
    WAVEHDR headers_[kWaveBuffers] = {};
    std::vector<char> data_[kWaveBuffers];
};

}  // namespace

// Tells the render thread that the default render device changed.  The
// system calls it on a thread of its own, which must not be held up: it
// only sets an event.
class DeviceNotice final : public IMMNotificationClient {
public:
    explicit DeviceNotice(HANDLE changed) : changed_(changed) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole) SetEvent(changed_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

private:
    LONG references_ = 1;
    HANDLE changed_;
};

Session::Session(AudioApis apis) : com_(COINIT_MULTITHREADED), changed_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!com_.Usable() || !changed_ || apis == AudioApis::WaveOutOnly) return;
    // Before Vista there is no enumerator: waveOut only.
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                enumerator_.PutVoid())))
        return;
    ComPtr<IMMNotificationClient> notice(new DeviceNotice(changed_.Get()));
    if (SUCCEEDED(enumerator_->RegisterEndpointNotificationCallback(notice.Get())))
        notice_ = std::move(notice);
}

Session::~Session() {
    if (notice_) enumerator_->UnregisterEndpointNotificationCallback(notice_.Get());
    notice_.Reset();
    enumerator_.Reset();
}

HRESULT Session::OpenWasapi(std::unique_ptr<Device> *out) {
    return enumerator_ ? WasapiDevice::Open(enumerator_.Get(), out) : kNotFound;
}

MMRESULT Session::OpenWaveOut(std::unique_ptr<Device> *out) { return WaveOutDevice::Open(out); }

bool Session::IsStillDefault(const Device &device) const {
    if (device.Api() != AudioApi::Wasapi || !enumerator_) return false;
    return WasapiDevice::DefaultId(enumerator_.Get()) == static_cast<const WasapiDevice &>(device).Id();
}

OpenAttempt OpenDefaultDevice(DeviceSystem &system) {
    OpenAttempt attempt;
    HRESULT wasapi = kNotFound;
    if (system.HasWasapi()) {
        wasapi = system.OpenWasapi(&attempt.device);
        if (SUCCEEDED(wasapi)) return attempt;
    }
    MMRESULT wave = system.OpenWaveOut(&attempt.device);
    if (wave == MMSYSERR_NOERROR) return attempt;
    bool waveMissing = wave == MMSYSERR_BADDEVICEID || wave == MMSYSERR_NODRIVER;
    if (wasapi == kNotFound && waveMissing) {
        attempt.error = AudioError::NoDevice;
    } else if (wasapi == AUDCLNT_E_DEVICE_IN_USE || wave == MMSYSERR_ALLOCATED) {
        attempt.error = AudioError::Busy;
        attempt.code = wasapi == AUDCLNT_E_DEVICE_IN_USE ? static_cast<long>(wasapi) : static_cast<long>(wave);
    } else {
        attempt.error = AudioError::Failed;
        attempt.code = wasapi != kNotFound ? static_cast<long>(wasapi) : static_cast<long>(wave);
    }
    return attempt;
}

}  // namespace korvel
