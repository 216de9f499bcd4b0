#include "engine/OutputDevices.h"

#include "engine/Deck.h"
#include "output/SdlAudioBackend.h"
#include "output/SdlDeviceEvents.h"
#include "output/SoundDevice.h"
#include "output/SpeakerSuffix.h"

#include <algorithm>

namespace tessel {

COutputDevices::COutputDevices(CDeck& deck, CSoundOutput& output)
    : m_deck(deck), m_output(output), m_events(std::make_unique<CSdlDeviceEvents>()) {}

COutputDevices::~COutputDevices() = default;

std::vector<std::string> COutputDevices::ListChoices() {
    std::vector<std::pair<std::string, int>> devices;
    for (auto& device : CSdlAudioBackend::ListPlaybackDeviceSpecs())
        devices.emplace_back(std::move(device.name), device.channels);
    return ChoicesOf(std::move(devices));
}

std::vector<std::string>
COutputDevices::ChoicesOf(std::vector<std::pair<std::string, int>> devices) {
    std::sort(devices.begin(), devices.end());
    std::vector<std::string> choices;
    for (const auto& [name, channels] : devices) {
        choices.push_back(name);
        if (channels >= 4) {
            choices.push_back(name + " (Front)");
            choices.push_back(name + " (Rear)");
        }
    }
    return choices;
}

bool COutputDevices::IsPresent(const std::string& description) {
    const std::string name = ParseSpeakerSuffix(description).name;
    const auto names = CSdlAudioBackend::ListPlaybackDevices();
    return std::find(names.begin(), names.end(), name) != names.end();
}

BackendFactory COutputDevices::BackendFor(const std::string& description) {
    // The speaker suffix is the output's business; SDL knows the bare name.
    std::string name = description.empty() ? std::string() : ParseSpeakerSuffix(description).name;
    return [name] { return std::make_unique<CSdlAudioBackend>(name); };
}

void COutputDevices::Choose(const std::string& description) {
    m_chosen = description;
    SwitchTo(description.empty() || IsPresent(description) ? description : std::string());
}

void COutputDevices::SwitchTo(const std::string& description) {
    m_inUse = description;
    m_deck.SetOutputDevice(description.empty() ? kSystemDefaultDescription : description,
                           BackendFor(description));
}

uint32_t COutputDevices::OpenDeviceId() const {
    CSoundOutput& output = m_output;
    if (!output.HasDevice() || output.Device() == nullptr)
        return 0;
    const auto* sdl = dynamic_cast<const CSdlAudioBackend*>(&output.Device()->Backend());
    return sdl ? sdl->OpenDeviceId() : 0;
}

void COutputDevices::Poll() {
    const DeviceEventsSeen seen = m_events->Poll(OpenDeviceId());
    if (seen.added)
        m_chosenRefused = false;
    if (seen.openDeviceRemoved && m_output.HasDevice()) {
        // Whatever was in use, the system default is where sound can go now.
        // The chosen device may still be listed for a moment after its
        // stream died: it is looked for again from the next poll on.
        SwitchTo(std::string());
        return;
    }
    // Looked for at every poll while it is not in use, rather than only when
    // announced: an announcement can come before the list has settled.
    bool fallBack = seen.added && !m_output.HasDevice();
    if (!m_chosen.empty() && !m_chosenRefused && (m_inUse != m_chosen || !m_output.HasDevice()) &&
        IsPresent(m_chosen)) {
        SwitchTo(m_chosen);
        if (m_deck.IsBusy() || m_output.HasDevice())
            return; // opened, or will be tried once the deck is free
        // Listed but it would not open: the default until it is announced
        // again.
        m_chosenRefused = true;
        fallBack = true;
    }
    if (fallBack)
        SwitchTo(std::string());
}

} // namespace tessel
