#include "output/SdlAudioBackend.h"
#include "core/Status.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessel {

// SDL's audio subsystem, initialised while one of these lives (SDL counts).
class CSdlAudioBackend::Subsystem {
  public:
    Subsystem() : m_ok(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
    ~Subsystem() {
        if (m_ok)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    Subsystem(const Subsystem&) = delete;
    Subsystem& operator=(const Subsystem&) = delete;
    bool Ok() const { return m_ok; }

  private:
    const bool m_ok;
};

// One open SDL audio device; closing it stops and joins SDL's audio thread.
class CSdlAudioBackend::Device {
  public:
    explicit Device(SDL_AudioDeviceID id) : m_id(id) {}
    ~Device() { SDL_CloseAudioDevice(m_id); }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    SDL_AudioDeviceID Id() const { return m_id; }

  private:
    const SDL_AudioDeviceID m_id;
};

CSdlAudioBackend::CSdlAudioBackend(std::string deviceName) : m_deviceName(std::move(deviceName)) {}

CSdlAudioBackend::~CSdlAudioBackend() {
    Close();
    m_subsystem.reset();
}

uint16_t CSdlAudioBackend::DeviceBufferFrames(uint32_t sampleRate) {
    // The power of two nearest to 90 ms.
    const double wanted = std::max(1.0, sampleRate * 0.09);
    const int exponent = static_cast<int>(std::lround(std::log2(wanted)));
    return static_cast<uint16_t>(1u << std::clamp(exponent, 9, 14));
}

namespace {

RenderResult RenderInto(IRenderSource& source, int16_t* out, uint32_t frames) {
    return source.Render(out, frames);
}

RenderResult RenderInto(IRenderSource& source, float* out, uint32_t frames) {
    return source.RenderFloat(out, frames);
}

} // namespace

void CSdlAudioBackend::RenderCallback(void* userdata, uint8_t* stream, int length) {
    auto* self = static_cast<CSdlAudioBackend*>(userdata);
    if (self->m_source == nullptr) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    if (self->m_float)
        self->Fill(reinterpret_cast<float*>(stream), static_cast<uint32_t>(length) / sizeof(float),
                   self->m_quadFloat);
    else
        self->Fill(reinterpret_cast<int16_t*>(stream),
                   static_cast<uint32_t>(length) / sizeof(int16_t), self->m_quad);
}

template <class Sample>
void CSdlAudioBackend::Fill(Sample* out, uint32_t samples, std::vector<Sample>& quad) {
    const uint32_t frames = samples / m_sdlChannels;
    if (m_sdlChannels == m_channels) {
        RenderInto(*m_source, out, frames);
        return;
    }
    // Four rendered channels into 5.1: FL FR, silent FC LFE, BL BR. SDL's
    // buffer never exceeds the size asked for at open, which `quad` holds.
    uint32_t done = 0;
    const auto chunk = static_cast<uint32_t>(quad.size() / 4);
    while (done < frames && chunk > 0) {
        const uint32_t n = std::min(chunk, frames - done);
        RenderInto(*m_source, quad.data(), n);
        for (uint32_t i = 0; i < n; ++i) {
            const Sample* in = &quad[static_cast<size_t>(i) * 4];
            Sample* o = out + static_cast<size_t>(done + i) * 6;
            o[0] = in[0];
            o[1] = in[1];
            o[2] = 0;
            o[3] = 0;
            o[4] = in[2];
            o[5] = in[3];
        }
        done += n;
    }
}

Status CSdlAudioBackend::OpenSdlDevice(uint32_t sampleRate, uint32_t channels,
                                       IRenderSource* source) {
    m_device.reset();
    if (!m_subsystem || !m_subsystem->Ok())
        return Status::Failed;
    m_source = source;
    m_channels = channels;
    m_sdlChannels = channels == 4 ? 6 : channels;
    // Sound servers mix in float: handing them float spares a rounding (and
    // an untouched sample still arrives exactly). Other drivers get 16 bits,
    // as most hardware takes them.
    const char* driver = SDL_GetCurrentAudioDriver();
    m_float = driver != nullptr &&
              (std::strcmp(driver, "pulseaudio") == 0 || std::strcmp(driver, "pipewire") == 0);
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(sampleRate);
    want.format = m_float ? AUDIO_F32SYS : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(m_sdlChannels);
    want.samples = DeviceBufferFrames(sampleRate);
    // Before the device (and its thread) exists.
    const size_t quad =
        m_sdlChannels != channels ? static_cast<size_t>(want.samples) * channels : 0;
    m_quad.assign(m_float ? 0 : quad, 0);
    m_quadFloat.assign(m_float ? quad : 0, 0.0f);
    want.callback = &CSdlAudioBackend::RenderCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to the hardware, our callback's
    // format stays fixed.
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(
        m_deviceName.empty() ? nullptr : m_deviceName.c_str(), 0, &want, &have, 0);
    if (id == 0) {
        m_source = nullptr;
        return Status::Failed;
    }
    m_device = std::make_unique<Device>(id);
    // A callback's frames are heard once the device has played the buffer
    // before them. The file and null drivers take them away at once.
    const bool immediate = driver != nullptr &&
                           (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0);
    m_latencyFrames = immediate ? 0 : have.samples;
    return Status::Ok;
}

Status CSdlAudioBackend::Prepare(uint32_t channels) {
    if (channels != 2 && channels != 4)
        return Status::Unexpected;
    if (!m_subsystem)
        m_subsystem = std::make_unique<Subsystem>();
    // Open and close once at the common rate: a driver that lists nothing
    // (ALSA without a card) fails here rather than at the first track.
    const Status status = OpenSdlDevice(44100, channels, nullptr);
    Close();
    return status;
}

Status CSdlAudioBackend::Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) {
    Close();
    if (channels != 2 && channels != 4)
        return Status::Unexpected;
    return OpenSdlDevice(sampleRate, channels, &source);
}

void CSdlAudioBackend::Start() {
    if (m_device)
        SDL_PauseAudioDevice(m_device->Id(), 0);
}

void CSdlAudioBackend::Pause() {
    // SDL takes the device lock, so a callback in progress finishes first.
    if (m_device)
        SDL_PauseAudioDevice(m_device->Id(), 1);
}

void CSdlAudioBackend::Close() {
    m_device.reset();
    m_source = nullptr;
}

std::vector<std::string> CSdlAudioBackend::ListPlaybackDevices() {
    std::vector<std::string> names;
    for (PlaybackDevice& device : ListPlaybackDeviceSpecs())
        names.push_back(std::move(device.name));
    return names;
}

std::vector<CSdlAudioBackend::PlaybackDevice> CSdlAudioBackend::ListPlaybackDeviceSpecs() {
    std::vector<PlaybackDevice> devices;
    Subsystem subsystem;
    if (!subsystem.Ok())
        return devices;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name == nullptr)
            continue;
        PlaybackDevice device{name, 0};
        SDL_AudioSpec spec{};
        if (SDL_GetAudioDeviceSpec(i, 0, &spec) == 0)
            device.channels = spec.channels;
        devices.push_back(std::move(device));
    }
    return devices;
}

uint32_t CSdlAudioBackend::OpenDeviceId() const {
    return m_device ? m_device->Id() : 0;
}

} // namespace tessel
