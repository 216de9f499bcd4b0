// The playback deck: everything the main window decides about loading,
// playing, pausing, streaming into the output ring, handing over from one
// track to the next, and seeking. The window owns one deck and forwards its
// commands (through Submit, with their values) and the engine's messages to
// it; the deck talks back through IDeckHost, which only shows things.
//
// The deck never waits. A change that needs a worker (opening a track,
// reading again after a seek, the stop ramp) puts the deck in a transitional
// state, and the worker's report completes it; see engine/DeckState.h for
// the table. Commands arriving meanwhile queue and run, in arrival order,
// once the state settles. After Shutdown they are dropped.
//
// Threads: every member function runs on the main thread (the one that serves
// the message channel). Two workers run beside it:
//  - the read worker (CReadWorker): the reader and the store's write side;
//    it reports through a message the deck posts to itself.
//  - the notification forwarder: turns the output's notification event into
//    one pending message at a time (m_notifyPending, acquire/release).
// The pace gate (IsAheadOfOutput) is asked on the clock's thread and reads
// only atomics.
#pragma once

#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "engine/DeckCommand.h"
#include "engine/DeckHost.h"
#include "engine/DeckState.h"
#include "engine/EngineContext.h"
#include "engine/ReadWorker.h"
#include "equalizer/AnalysisRing.h"
#include "output/SoundOutput.h"
#include "playlist/Playlist.h"

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tessel {

class CDeck {
  public:
    // Timer ids, shared with the window's timers.
    enum Timer {
        kTimerFastForward = 0,
        kTimerStopRamp = 1,
        kTimerRewind = 2,
        kTimerLengthDisplay = 3,
    };

    using State = DeckState;
    static constexpr int kSliderMax = 65535;
    // Segments kept written ahead of the play cursor.
    static constexpr int kFillTarget = 25;
    // The read worker is woken after the output has taken this many chunks.
    static constexpr int kReaderWakeChunks = 27;
    // The time display and slider follow every this many segments heard.
    static constexpr int kDisplayEverySegments = 3;
    // Entries the read worker is told of ahead of the one it reads.
    static constexpr int kCuedEntries = 16;

    CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
          CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host);
    ~CDeck();
    CDeck(const CDeck&) = delete;
    CDeck& operator=(const CDeck&) = delete;

    // Handles the engine's messages meant for the deck; false for others.
    bool HandleMessage(const Message& message);

    // Every user command enters here (see the top of this file).
    void Submit(DeckCommand command);
    // True while the deck waits for a worker or has commands queued.
    bool IsBusy() const { return !IsSettled(m_state) || !m_queue.empty(); }
    size_t QueuedCommands() const { return m_queue.size(); }

    // Transport commands; each is a Submit of the matching command.
    void TogglePlayPause();
    void Play();
    void Pause();
    void NextCommand();
    void PreviousCommand();
    void PlayLoadedEntry();
    // The track chooser's "No File Loaded".
    void ChooseNoFile();
    void SetVolume(int level);
    // Reopens the output on another device and plays on from the frame being
    // heard. A backend that cannot open leaves the deck paused without a
    // device; the next switch that opens resumes there.
    void SwitchOutputDevice(std::string description, BackendFactory makeBackend);
    // Loads a file without playing it; `entry` is its playlist entry (0 for
    // none). The host hears OnTrackChanged, or OnTrackLoadFailed.
    void LoadTrack(const std::string& path, EntryId entry = 0);
    // Stops the output and the workers; later commands are dropped.
    void Shutdown();

    // Seek and fast wind (commands, like the transport).
    void OnPositionSliderGrabbed();
    void OnPositionSliderMoved(int position);
    // Plays on from `position` (0 ... kSliderMax of the track) and lets the
    // slider go.
    void SeekToSlider(int position);
    // Plays on from `seconds` into the track (clamped to it), or stays
    // paused there.
    void SeekTo(double seconds);
    void OnFastForwardPressed();
    void OnFastForwardReleased();
    void OnRewindPressed();
    void OnRewindReleased();

    // State, for the window and tests.
    State GetState() const { return m_state; }
    bool IsPlaying() const { return m_state == State::Playing; }
    // Playing and not at the end, or a command on the way will play.
    bool IsPlayingOrAboutTo() const;
    bool IsTrackLoaded() const { return IsLoaded(m_state); }
    int VolumeLevel() const { return m_volumeLevel; }
    const std::string& TrackPath() const { return m_track.path; }
    EntryId TrackEntry() const { return m_track.entry; }
    double TrackLength() const { return m_track.lengthSeconds; }
    double Elapsed() const { return m_elapsed; }
    const std::string& TimeText() const { return m_timeText; }
    bool IsSliderHeld() const { return m_sliderHeld; }
    // Bytes of real audio (not padding, not silence) handed to the output
    // since the output was last opened.
    uint64_t AudioBytesWritten() const { return m_audioBytesWritten; }
    // True once the output has stopped at the end of the data.
    bool ReachedEnd() const { return m_reachedEnd; }
    // For a virtual clock: true when the next notification's refills will
    // find decoded audio, or the data has ended (safe from any thread).
    bool IsAheadOfOutput() const;
    // Transitions the table refused; a test fails on any.
    int RefusedTransitions() const { return m_refusedTransitions; }

  private:
    void EnterState(State next);
    void RunQueue();
    void Execute(DeckCommand& command);
    // Runs `command` again once the output has stopped (and `then` after
    // it); true when it had to.
    bool PauseFirst(const DeckCommand& command, bool playAfter);

    void RunLoad(const std::string& path, EntryId entry, bool fromPlaylist);
    void RunPlayPause();
    void StartPlaying();
    // Nothing is loaded any more.
    void ShowUnloaded();
    void PlayAgainAfterTheEnd();
    void BeginStopping();
    void FinishStopping();
    void RunChooseNoFile();
    void RunPlayLoadedEntry();
    void RunSeek(double seconds);
    void RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend);
    void ReadAgainFrom(int64_t frame);

    // Reports of the read worker.
    void OnReadReports();
    void OnOpened(const OpenedTrack& track);
    void OnOpenFailed(const OpenedTrack& track);
    void OnPrimed();
    void OnHandedOver(const OpenedTrack& track);
    // After a playlist entry failed to open: marks it unreadable and loads
    // the first later entry. False when there is none.
    bool LoadEntryAfter(EntryId failed);

    void ShowTrack(const OpenedTrack& track);
    void ForgetHandedOverTracks();
    void OnHandedOverTrackHeard(uint64_t serial);
    void PublishCue();

    // Streaming.
    void OnPlayForwardNotify();
    void AudioOutputOpen();
    bool FillNextSegment();
    void ApplyVolume();
    bool ReaderHasEnded() const;
    void ReportUnderruns(uint64_t played);
    uint64_t HeardFrame(uint64_t played) const;
    void FollowHeardPosition(uint64_t played);
    bool HeardTrackFrame(int64_t& frame) const;

    // Display.
    void UpdateTimeDisplay(uint64_t heardFrame);
    void UpdatePositionSlider();
    void ShowHeldPosition(int position);
    int SliderPositionOf(double seconds) const;
    void OnLengthDisplayTimer();

    // Fast wind.
    void StartFastWind(bool forward);
    void EndFastWind(bool forward);
    void OnFastWindTick(bool forward);

    void ForwardNotifications();

    CEngineContext& m_engine;
    CAudioFileReader& m_reader;
    CSoundOutput& m_output;
    CChunkStore& m_store;
    CAnalysisRing& m_analysis;
    CPlaylist& m_playlist;
    IDeckHost& m_host;

    State m_state = State::NoFile;
    int m_refusedTransitions = 0;
    std::deque<DeckCommand> m_queue;
    bool m_executing = false;
    std::deque<DeckCommand> m_raisedByCommand;

    // The track: the one sounding, or loaded.
    OpenedTrack m_track;
    std::string m_timeText;
    int m_volumeLevel = 0;
    uint64_t m_job = 0; // the read job whose reports count
    bool m_jobFollowsPlaylist = false;
    // Tracks the reader has moved on to that have not sounded yet.
    std::deque<OpenedTrack> m_handedOverTracks;
    // What the cue was last worked out from: the list's version and the
    // entry the reader was in.
    uint64_t m_cuedVersion = ~uint64_t{0};
    EntryId m_cuedAfter = 0;
    EntryCue m_cue;

    // Per ring segment: silence after the end of the data; whose audio it
    // holds (0 for silence) and that track's frame at the segment's first
    // frame (negative in the chunk where a track hands over to the next).
    std::array<bool, kRingSegments> m_segmentEndMark{};
    std::array<uint64_t, kRingSegments> m_segmentTrackSerial{};
    std::array<int64_t, kRingSegments> m_segmentTrackFrame{};
    uint64_t m_cursorSegment = 0;
    StarvationReport m_reportedStarvation;
    int m_chunksSinceWake = 0;
    int m_notifyCount = 0;
    uint64_t m_audioBytesWritten = 0;
    bool m_reachedEnd = false;
    bool m_streamOpen = false;
    uint64_t m_stopTicket = 0;

    double m_elapsed = 0.0;
    bool m_sliderHeld = false;
    bool m_ffwdActive = false;
    double m_ffwdPosition = 0.0;
    bool m_rwndActive = false;
    double m_rwndPosition = 0.0;

    uint32_t m_streamRate = 44100; // rate the output was opened with
    // A switch to a device that would not open: where to resume, and
    // whether to play, once a device opens again.
    bool m_resumeOnDevice = false;
    bool m_resumePlaying = false;
    int64_t m_resumeFrame = 0;

    std::vector<uint8_t> m_silence;
    std::atomic<bool> m_notifyPending{false};
    std::atomic<bool> m_quitForwarder{false};
    std::unique_ptr<CReadWorker> m_worker;
    std::thread m_forwarder;
};

} // namespace tessel
