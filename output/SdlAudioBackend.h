// The real output through SDL2. SDL's audio thread runs the render callback;
// SDL converts our fixed format (16-bit, the stream's rate, 2 or 4 channels)
// to whatever the hardware takes. The driver is SDL's own choice from its
// environment (SDL_AUDIODRIVER), so the dummy and disk drivers serve tests.
//
// Device buffer: about 90 ms (4096 frames at 44.1/48 kHz, scaled with the
// rate). SDL cannot drop what it has handed to the sound server, so a skip or
// a seek is heard one to two buffers late: measured on a PulseAudio null
// sink, 8192 frames took 430-500 ms from the command to the new sound, 4096
// frames 180-260 ms, 2048 frames 160-190 ms, 1024 frames 110-130 ms. Smaller
// buffers wake the server more (its CPU per audio second: 0.006 at 8192,
// 0.011 at 4096, 0.018 at 2048, 0.054 at 1024 frames; mpv's 0.007) and leave
// it less time to wait for a busy machine: at 2048 frames a loaded machine
// already let a null sink run dry. 4096 keeps the player and the server at
// about half of mpv's cost. The ring ahead of the cursor holds 1.7 s.
//
// Four channels (a speaker pair of a four-speaker output) go to SDL as 5.1
// with the centre and LFE silent: SDL's layout for 5.1 is the same with
// every driver (FL FR FC LFE BL BR), while its PulseAudio driver maps four
// channels to FL FR FC LFE, so the rear pair would land on centre and LFE.
//
// Threads: every member is for the main thread; the callback runs on SDL's
// audio thread and touches only the render source, m_float and the quad
// buffers (all set at open, while no callback runs).
#pragma once

#include "output/AudioBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessel {

class CSdlAudioBackend final : public IAudioBackend {
  public:
    // `deviceName` as SDL lists it; "" is SDL's default device.
    explicit CSdlAudioBackend(std::string deviceName = {});
    ~CSdlAudioBackend() override;
    const std::string& DeviceName() const { return m_deviceName; }

    Status Prepare(uint32_t channels) override;
    Status Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) override;
    void Start() override;
    void Pause() override;
    void Close() override;
    bool IsRealTime() const override { return true; }
    uint32_t LatencyFrames() const override { return m_latencyFrames; }
    bool ReusableAcrossStreams() const override { return true; }

    struct PlaybackDevice {
        std::string name;
        int channels = 0; // what the device reports; 0 when unknown
    };
    // The names of SDL's playback devices with the driver SDL picks now.
    static std::vector<std::string> ListPlaybackDevices();
    static std::vector<PlaybackDevice> ListPlaybackDeviceSpecs();
    // SDL's id of the open device (its removal event carries it); 0 when
    // closed.
    uint32_t OpenDeviceId() const;
    // Frames per device buffer at `sampleRate`.
    static uint16_t DeviceBufferFrames(uint32_t sampleRate);

  private:
    class Subsystem;
    class Device;

    Status OpenSdlDevice(uint32_t sampleRate, uint32_t channels, IRenderSource* source);
    static void RenderCallback(void* userdata, uint8_t* stream, int length);
    template <class Sample> void Fill(Sample* out, uint32_t samples, std::vector<Sample>& quad);

    const std::string m_deviceName;
    // Set before the SDL device (and its thread) exists, cleared after it
    // is closed; read by the callback.
    IRenderSource* m_source = nullptr;
    uint32_t m_channels = 2;    // what the render source fills
    uint32_t m_sdlChannels = 2; // what SDL was opened with
    bool m_float = false;       // the stream takes float samples
    std::vector<int16_t> m_quad;
    std::vector<float> m_quadFloat;
    uint32_t m_latencyFrames = 0;
    std::unique_ptr<Subsystem> m_subsystem;
    std::unique_ptr<Device> m_device;
};

} // namespace tessel
