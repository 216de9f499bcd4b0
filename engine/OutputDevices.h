// Which device the deck plays through, and keeping it there: the user's
// choice when it is present, else the system default; back to the choice
// when it returns; the system default when the device in use goes away; a
// paused deck when there is none at all, playing on when one appears.
//
// The system default is opened without a device name, so the sound server
// routes the stream and moves it when the user changes the default. Every
// change is a deck command, so a playing track goes on from where it is.
//
// Threads: main thread only. Poll takes SDL's hot-plug events, which SDL
// queues from its own threads.
#pragma once

#include "engine/DeckCommand.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tessel {

class CDeck;
class CSdlDeviceEvents;
class CSoundOutput;

// The description the output shows for the system default.
inline constexpr const char* kSystemDefaultDescription = "System Default Device";

class COutputDevices {
  public:
    COutputDevices(CDeck& deck, CSoundOutput& output);
    ~COutputDevices();
    COutputDevices(const COutputDevices&) = delete;
    COutputDevices& operator=(const COutputDevices&) = delete;

    // What a chooser offers after the system default: SDL's playback
    // devices, sorted; after one that reports four or more channels, its
    // front and rear pairs (the description with " (Front)" or " (Rear)").
    static std::vector<std::string> ListChoices();
    // The same for the devices given (name and channels reported).
    static std::vector<std::string> ChoicesOf(std::vector<std::pair<std::string, int>> devices);
    // Whether the device named by `description` (speaker suffix ignored) is
    // listed now.
    static bool IsPresent(const std::string& description);
    // The backend for `description`; "" is the system default.
    static BackendFactory BackendFor(const std::string& description);

    // Plays through `description` from now on ("" for the system default):
    // at once when it is present, else through the default until it is.
    void Choose(const std::string& description);
    const std::string& Chosen() const { return m_chosen; }
    // The description in use ("" for the system default).
    const std::string& InUse() const { return m_inUse; }
    // Serves the hot-plug events; call every few hundred milliseconds.
    void Poll();

  private:
    void SwitchTo(const std::string& description);
    uint32_t OpenDeviceId() const;

    CDeck& m_deck;
    CSoundOutput& m_output;
    std::string m_chosen;
    std::string m_inUse;
    // The chosen device was listed but would not open; it is tried again
    // when a device is announced.
    bool m_chosenRefused = false;
    std::unique_ptr<CSdlDeviceEvents> m_events;
};

} // namespace tessel
