#include "output/SoundOutput.h"

#include "core/Status.h"
#include "output/AudioBackend.h"
#include "output/SoundDevice.h"
#include "output/SpeakerSuffix.h"

namespace tessel {

CSoundOutput::CSoundOutput() = default;

CSoundOutput::~CSoundOutput() {
    CloseDevice();
}

void CSoundOutput::SetNotifyEvent(CEvent* event) {
    m_notifyEvent = event;
    if (m_device)
        m_device->SetNotifyEvent(event);
}

Status CSoundOutput::OpenDevice(std::unique_ptr<IAudioBackend> backend,
                                const std::string& description) {
    if (!backend || description.empty())
        return Status::Unexpected;
    CloseDevice();
    SpeakerChoice choice = ParseSpeakerSuffix(description);
    auto device = std::make_unique<CSoundDevice>(std::move(backend), choice.pair);
    const Status status = device->Prepare();
    if (status != Status::Ok)
        return status;
    device->SetNotifyEvent(m_notifyEvent);
    if (m_paceGate)
        device->Backend().SetPaceGate(m_paceGate);
    m_device = std::move(device);
    ++m_deviceSerial;
    m_deviceName = std::move(choice.name);
    PassEqualizerToDevice();
    return Status::Ok;
}

void CSoundOutput::CloseDevice() {
    if (!m_device)
        return;
    std::unique_ptr<CSoundDevice> device = std::move(m_device);
    ++m_deviceSerial;
    m_deviceName.clear();
    device.reset();
}

bool CSoundOutput::HasDevice() const {
    return m_device != nullptr;
}

std::string CSoundOutput::GetDeviceName() const {
    return m_deviceName;
}

Status CSoundOutput::OpenStream(uint32_t sampleRate) {
    if (!m_device)
        return Status::NotInitialized;
    return m_device->OpenStream(sampleRate);
}

void CSoundOutput::CloseStream() {
    if (m_device)
        m_device->CloseStream();
}

bool CSoundOutput::HasStream() const {
    return m_device && m_device->HasStream();
}

Status CSoundOutput::WriteForward(const uint8_t* chunk) {
    if (!m_device)
        return Status::NotInitialized;
    return m_device->WriteForward(chunk);
}

uint32_t CSoundOutput::GetForwardWriteOffset() const {
    return m_device ? m_device->GetForwardWriteOffset() : 0;
}

uint32_t CSoundOutput::GetForwardPlayCursor() const {
    return m_device ? m_device->GetForwardPlayCursor() : 0;
}

uint64_t CSoundOutput::GetFramesWritten() const {
    return m_device ? m_device->FramesWritten() : 0;
}

Status CSoundOutput::TakeBackFrom(uint64_t frame) {
    return m_device ? m_device->TakeBackFrom(frame) : Status::NotInitialized;
}

uint64_t CSoundOutput::GetFramesPlayed() const {
    return m_device ? m_device->FramesPlayed() : 0;
}

uint32_t CSoundOutput::GetLatencyFrames() const {
    return m_device ? m_device->Backend().LatencyFrames() : 0;
}

StarvationReport CSoundOutput::GetStarvation() const {
    return m_device ? m_device->Starvation() : StarvationReport{};
}

bool CSoundOutput::IsPlayingForward() const {
    return m_device && m_device->IsPlayingForward();
}

void CSoundOutput::PlayForward() {
    if (m_device)
        m_device->BeginPlay();
}

uint64_t CSoundOutput::BeginStopForward() {
    return m_device ? m_device->BeginStop() : 0;
}

bool CSoundOutput::StopRampPlayed(uint64_t ticket) const {
    return !m_device || m_device->RampPlayed(ticket);
}

void CSoundOutput::StopForward() {
    if (m_device)
        m_device->FinishStop();
}

Status CSoundOutput::SetVolume(double volume) {
    if (!m_device)
        return Status::NotInitialized;
    return m_device->SetVolume(volume);
}

Status CSoundOutput::SetTrackGainAt(uint64_t frame, float gain, bool glide) {
    if (!m_device)
        return Status::NotInitialized;
    return m_device->SetTrackGainAt(frame, gain, glide);
}

uint64_t CSoundOutput::FirstUnreadFrame() const {
    return m_device ? m_device->FirstUnreadFrame() : 0;
}

Status CSoundOutput::DropTrackGainsFrom(uint64_t frame) {
    return m_device ? m_device->DropTrackGainsFrom(frame) : Status::NotInitialized;
}

int32_t CSoundOutput::GetVolume() const {
    return m_device ? m_device->GetVolume() : 0;
}

void CSoundOutput::NotificationHandled() {
    if (m_device)
        m_device->Backend().NotificationHandled();
}

void CSoundOutput::SetPaceGate(std::function<bool()> gate) {
    m_paceGate = std::move(gate);
    if (m_device)
        m_device->Backend().SetPaceGate(m_paceGate);
}

} // namespace tessel
