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
// The deck is assembled from parts that each own their fields: the state
// machine (DeckState.h), the command queue (CommandQueue.h), the streamer
// that feeds the output ring (RingStreamer.h), the hand-over to the next
// entry (HandOver.h) and the fast winder (FastWinder.h).
//
// Threads: every member function runs on the main thread (the one that serves
// the message channel). Two workers run beside it: the read worker
// (CReadWorker), which reports through a message the deck posts to itself,
// and the notification forwarder (CNotifyForwarder). The pace gate
// (IsAheadOfOutput) is asked on a virtual clock's thread and reads only
// atomics.
#pragma once

#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "engine/CommandQueue.h"
#include "engine/DeckCommand.h"
#include "engine/DeckHost.h"
#include "engine/DeckState.h"
#include "engine/EngineContext.h"
#include "engine/FastWinder.h"
#include "engine/HandOver.h"
#include "engine/NotifyForwarder.h"
#include "engine/ReadWorker.h"
#include "engine/RingStreamer.h"
#include "equalizer/AnalysisRing.h"
#include "output/SoundOutput.h"
#include "playlist/Playlist.h"

#include <memory>
#include <string>
#include <vector>

namespace tessel {

class CDeck {
  public:
    // Timer ids, shared with the window's timers.
    enum Timer {
        kTimerFastForward = 0,
        kTimerStopRamp = 1,
        kTimerRewind = 2,
        kTimerIdleRelease = 3,
    };

    using State = DeckState;

    CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
          CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host);
    ~CDeck();
    CDeck(const CDeck&) = delete;
    CDeck& operator=(const CDeck&) = delete;

    // Handles the engine's messages meant for the deck; false for others.
    bool HandleMessage(const Message& message);

    // The commands, in engine units (seconds, volume 0..1, entry ids), for
    // every front end. Each is a Submit of the matching DeckCommand.
    void Play();
    void Pause();
    void TogglePause();
    // Pauses and goes back to the start of the track.
    void Stop();
    void Next();
    void Previous();
    // Loads the playlist entry and plays it (or the first later one that
    // opens).
    void PlayEntry(EntryId entry);
    // The entry the playlist has marked loaded, played the same way.
    void PlayLoadedEntry();
    // Plays on from `seconds` into the track (clamped to it), or stays
    // paused there.
    void SeekTo(double seconds);
    void SeekBy(double seconds);
    // 0 (silence) .. 1 (full volume), at once, even while the deck waits;
    // the host hears OnVolumeChanged.
    void SetVolume(double volume);
    // The play order's modes and the one-shot stop after the current track
    // (the next entry is then loaded, paused; a load or a hand-over before
    // it fires moves it to the new current track). Each takes effect at once,
    // also for an entry already read ahead; the host hears
    // OnPlayModesChanged.
    void SetRepeat(RepeatMode mode);
    void SetShuffle(ShuffleMode mode);
    void SetStopAfterCurrent(bool on);
    // ReplayGain: each track's gain starts on its first frame; a change is
    // heard within a device buffer. Off (the default) leaves the samples as
    // they are.
    void SetReplayGain(const ReplayGainSettings& settings);
    const ReplayGainSettings& ReplayGain() const { return m_replayGain; }
    RepeatMode Repeat() const { return m_playlist.Order().Repeat(); }
    ShuffleMode Shuffle() const { return m_playlist.Order().Shuffle(); }
    bool StopsAfterCurrent() const { return m_handOver.StopsAfter() != 0; }
    // Reopens the output on another device and plays on from the frame being
    // heard. A backend that cannot open leaves the deck paused without a
    // device; the next switch that opens resumes there.
    void SetOutputDevice(std::string description, BackendFactory makeBackend);
    // Loads a file without playing it; `entry` is its playlist entry (0 for
    // none). The host hears OnTrackChanged, or OnTrackLoadFailed.
    void LoadTrack(const std::string& path, EntryId entry = 0);
    // Lets go of the track: "No File Loaded".
    void Close();
    // Appends files to the playlist in order, playlist files by their
    // entries; when nothing plays, the first new entry that opens plays.
    // Answers the playlist files that could not be read.
    std::vector<std::string> Append(const std::vector<std::string>& paths);
    // The equalizer: on with the bank's layout and gains, or off (null).
    // `band` names the one band that changed, which is redesigned alone.
    void SetEqualizer(const CFilterBank* bank, int band = -1);
    // Fast wind: while held, the position shown moves a second per tick; the
    // release seeks there.
    void OnFastForwardPressed();
    void OnFastForwardReleased();
    void OnRewindPressed();
    void OnRewindReleased();
    // Paused, stopped or at the end for this long, the deck lets go of the
    // output stream so the sound server can suspend the device; Play opens
    // it again and plays on from the same frame. 0 never lets go.
    static constexpr int kIdleReleaseMs = 10000;
    void SetIdleRelease(int milliseconds) { m_idleReleaseMs = milliseconds; }
    bool HasReleasedOutput() const { return m_idlePlace.kept || m_idleAtEnd; }
    // Stops the output and the workers; later commands are dropped.
    void Shutdown();

    // Every command enters here (see the top of this file).
    void Submit(DeckCommand command);
    // True while the deck waits for a worker or has commands queued.
    bool IsBusy() const { return !IsSettled(m_state.Get()) || !m_commands.IsEmpty(); }
    size_t QueuedCommands() const { return m_commands.Size(); }

    // State, for the window and tests.
    State GetState() const { return m_state.Get(); }
    bool IsPlaying() const { return m_state.Get() == State::Playing; }
    // Playing and not at the end, or a command on the way will play.
    bool IsPlayingOrAboutTo() const;
    bool IsTrackLoaded() const { return IsLoaded(m_state.Get()); }
    double Volume() const { return m_volume; }
    const std::string& TrackPath() const { return m_track.path; }
    EntryId TrackEntry() const { return m_track.entry; }
    double TrackLength() const { return m_track.lengthSeconds; }
    // Seconds into the track of the frame heard (or to be heard on play).
    double Elapsed() const { return m_elapsed; }
    bool IsWinding() const { return m_winder.IsWinding(); }
    // Bytes of real audio (not padding, not silence) handed to the output
    // since the output was last opened.
    uint64_t AudioBytesWritten() const { return m_streamer.AudioBytesWritten(); }
    // True once the output has stopped at the end of the data.
    bool ReachedEnd() const { return m_streamer.ReachedEnd(); }
    // For a virtual clock (safe from any thread); see CRingStreamer.
    bool IsAheadOfOutput() const { return m_streamer.IsAheadOfOutput(); }
    // Transitions the table refused; a test fails on any.
    int RefusedTransitions() const { return m_state.RefusedTransitions(); }

  private:
    // Enters the state when the table allows it, and tells the host once.
    void EnterState(State next);
    void RunQueue();
    void Execute(DeckCommand& command);
    // Runs `command` again once the output has stopped (and Resume after it
    // when `playAfter`); true when it had to.
    bool PauseFirst(const DeckCommand& command, bool playAfter);

    void RunLoad(const std::string& path, EntryId entry, bool fromPlaylist);
    void RunPlayPause();
    void StartPlaying();
    // Nothing is loaded any more.
    void ShowUnloaded();
    void PlayAgainAfterTheEnd();
    void BeginStopping();
    void FinishStopping();
    void RunClose();
    void RunPlayLoadedEntry(EntryId entry);
    void RunSeek(double seconds);
    void RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend);
    void ReadAgainFrom(int64_t frame);

    // Reports of the read worker.
    void OnReadReports();
    void OnOpened(const OpenedTrack& track);
    void OnOpenFailed(const OpenedTrack& track);
    void OnPrimed();
    // After a playlist entry failed to open: marks it unreadable and loads
    // the first later entry. False when there is none.
    bool LoadEntryAfter(EntryId failed);
    void ShowTrack(const OpenedTrack& track);
    void OnHandedOverTrackHeard(uint64_t serial, uint64_t heardFrame);

    // Tells the reader what follows, and has it read again where an edit
    // changed what follows a seam it has passed (DeckReread.cpp).
    void FollowList();
    bool ReadAgainBefore(uint64_t staleSerial);
    // An Opened or OpenFailed report of such a reading again; false for
    // those of a load or a seek.
    bool OnRereadReport(const ReadReport& report);
    // The data ended where the user asked to stop: the next entry loads,
    // paused.
    void StopAfterThisTrack();

    // Letting go of the output while idle (DeckIdle.cpp).
    void FollowIdleness();
    void ReleaseIdleOutput();
    // Play after a release: read again from the kept frame and play.
    bool ResumeReleased();

    void OnPlayForwardNotify();
    void ApplyVolume();

    void FollowHeardFrame(uint64_t heardFrame);
    void ShowPosition();

    void StartFastWind(bool forward);
    void EndFastWind(bool forward);
    void OnFastWindTick();

    CEngineContext& m_engine;
    CAudioFileReader& m_reader;
    CSoundOutput& m_output;
    CPlaylist& m_playlist;
    IDeckHost& m_host;

    CDeckStateMachine m_state;
    CCommandQueue m_commands;
    std::unique_ptr<CReadWorker> m_worker;
    CRingStreamer m_streamer;
    CHandOver m_handOver;
    CFastWinder m_winder;

    // The track: the one sounding, or loaded.
    OpenedTrack m_track;
    uint64_t m_job = 0; // the read job whose reports count
    bool m_jobFollowsPlaylist = false;
    uint64_t m_stopTicket = 0; // the output's stop ramp under way
    double m_volume = 1.0;
    ReplayGainSettings m_replayGain;
    double m_elapsed = 0.0;

    // A switch to a device that would not open: where to resume, and
    // whether to play, once a device opens again.
    struct PlaceForNextDevice {
        bool kept = false;
        bool playing = false;
        int64_t frame = 0;
    } m_placeForNextDevice;

    // The output let go of while idle: where to play on.
    struct IdlePlace {
        bool kept = false;
        int64_t frame = 0;
    } m_idlePlace;
    bool m_idleAtEnd = false; // let go of after the end of the data
    int m_idleReleaseMs = kIdleReleaseMs;
    bool m_idleTimerRunning = false;

    // Last: stopped first, before the parts it posts for.
    std::unique_ptr<CNotifyForwarder> m_forwarder;
};

} // namespace tessel
