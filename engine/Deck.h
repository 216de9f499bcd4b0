// The playback deck: everything the main window decides about loading,
// playing, pausing, streaming into the output ring, handing over from one
// track to the next, and seeking. The window owns one deck and forwards its
// commands (through Submit, with their values) and the engine's messages to
// it; the deck talks back through IDeckHost, which only shows things.
//
// Commands: the deck waits for its workers while serving the main loop, so
// user commands can arrive in the middle of a load, a start, a pause ramp,
// a seek or a hand-over. They are queued and run exactly once, in arrival
// order, as soon as no wait is in progress (a timer drains the queue, since
// a wait may end inside a worker's message, where a command that waits for
// that worker would never return). After Shutdown they are dropped.
//
// Threads: every member function runs on the main thread (the one that serves
// the message channel). The deck starts three kinds of worker:
//  - the file-open worker: Open() on the playback reader; main waits for it.
//  - the read worker: fills the chunk store from the reader; owns the store's
//    free slots and m_writeIndex; reports by synchronous messages that carry
//    its generation, so a message from a worker being stopped is known as
//    stale; publishes m_readEnded (release) before its last message.
//  - the play-forward worker: turns output notifications into messages.
// None of them touches other deck fields; they see only the engine context,
// the reader (the read worker, while main is not using it), the store, and
// the atomics m_readEnded, m_readGeneration, m_playGeneration and
// m_lowerReadPriority.
#pragma once

#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "engine/DeckCommand.h"
#include "engine/DeckHost.h"
#include "engine/EngineContext.h"
#include "equalizer/AnalysisRing.h"
#include "output/SoundOutput.h"
#include "playlist/Playlist.h"

#include <array>
#include <atomic>
#include <deque>
#include <functional>
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
        kTimerStart = 1,
        kTimerRewind = 2,
        kTimerLengthDisplay = 3,
        kTimerCommands = 4
    };

    // The deck's one state; every change goes through EnterState, which
    // holds the allowed transitions:
    //   NoFile   -> Opening                   a load
    //   Opening  -> Paused | NoFile           opened, or not
    //   Paused   -> Opening | NoFile | Starting | Seeking
    //   Starting -> Playing | Paused          started, or cancelled / nothing to play
    //   Playing  -> Stopping | Seeking | Opening | NoFile
    //   Stopping -> Paused
    //   Seeking  -> Paused
    //   any      -> ShutDown                  for good
    // Playing stays Playing after the output stopped at the end of the data
    // (ReachedEnd); a Play then starts from the next load or seek.
    enum class State { NoFile, Opening, Paused, Starting, Playing, Stopping, Seeking, ShutDown };
    static constexpr int kSliderMax = 65535;
    // Segments kept written ahead of the play cursor.
    static constexpr int kFillTarget = 25;
    // The read worker's first batch makes the deck ready after this many.
    static constexpr int kReadAheadChunks = 51;
    // The read worker is woken after the output has taken this many chunks.
    static constexpr int kReaderWakeChunks = 27;
    // The time display and slider follow every this many segments heard.
    static constexpr int kDisplayEverySegments = 3;

    CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
          CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host);
    ~CDeck();
    CDeck(const CDeck&) = delete;
    CDeck& operator=(const CDeck&) = delete;

    // Handles the engine's messages meant for the deck; false for others.
    bool HandleMessage(const Message& message);

    // Every user command enters here (see the top of this file).
    void Submit(DeckCommand command);
    bool IsWaiting() const { return m_waitDepth > 0; }
    // Whether a command given now runs at once rather than being queued.
    bool CanRunNow() const;
    size_t QueuedCommands() const { return m_queue.size(); }

    // Transport commands; each is a Submit of the matching command.
    void TogglePlayPause();
    void NextCommand();
    void PreviousCommand();
    void PlayLoadedEntry();
    // The track chooser's "No File Loaded".
    void ChooseNoFile();
    void SetVolume(int level);
    // Reopens the output on another device and plays on from the frame being
    // heard (a Submit of SwitchDevice). A backend that cannot open leaves the
    // deck paused without a device; the next switch that opens resumes there.
    void SwitchOutputDevice(std::string description, BackendFactory makeBackend);
    // Runs at once when no wait is in progress (then `ok` tells whether the
    // file opened); otherwise queued like any command, with `ok` false.
    void LoadTrack(const std::string& path, bool& ok);
    void SetCurrentTrack(const std::string& path);
    void CloseTrack();
    // Pauses, stops every worker and waits for it; later commands are dropped.
    void Shutdown();

    // Workers.
    void ThreadReadFileStart();
    void ThreadReadFileStop();
    // Waits (pumping) for the deck to be ready, then starts the output. False
    // when no read worker will ever make the deck ready.
    bool Play();
    void Stop();
    void StopWait();

    // Streaming.
    void OnPlayForwardNotify();
    void AudioOutputOpen();
    // Writes the next segment: the store's next chunk, or, once the data has
    // ended, silence marked as the end. False when nothing was written:
    // decoding is behind (the reader is hurried) or the ring is full.
    bool FillNextSegment();
    // The volume of the last SetVolume, to the output.
    void ApplyVolume();

    // Time display and hand-over. `heardFrame` counts frames of the output
    // stream.
    void UpdateTimeDisplay(uint64_t heardFrame);
    void UpdatePositionSlider();
    void OnReaderEndOfStream(bool reached);
    void OpenNextTrack(const std::string& path);

    // Seek and fast wind (commands, like the transport).
    void OnPositionSliderGrabbed();
    // While the slider is held, what its position would mean.
    void OnPositionSliderMoved(int position);
    // Plays on from `position` (0 ... kSliderMax of the track) and lets the
    // slider go.
    void SeekToSlider(int position);
    void OnFastForwardPressed();
    void OnFastForwardReleased();
    void OnRewindPressed();
    void OnRewindReleased();

    // State, for the window and tests.
    State GetState() const { return m_state; }
    bool IsPlaying() const { return m_state == State::Playing; }
    bool IsTrackLoaded() const { return IsLoadedState(m_state); }
    int VolumeLevel() const { return m_volumeLevel; }
    const std::string& TrackPath() const { return m_trackPath; }
    double TrackLength() const { return m_trackLength; }
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

  private:
    static bool IsLoadedState(State state) {
        return state == State::Paused || state == State::Starting || state == State::Playing ||
               state == State::Stopping || state == State::Seeking;
    }

    // A track the reader has moved on to that has not sounded yet.
    struct HandedOverTrack {
        std::string path;
        std::string title;
        double length = 0.0;
        int row = -1;
        uint64_t serial = 0; // the reader's open serial: one play of one file
    };

    struct PlayWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> exited;
    };

    void EnterState(State next);
    void Execute(DeckCommand& command);
    void ExecuteKind(DeckCommand& command);
    void ShowHeldPosition(int position);
    int SliderPositionOf(double seconds) const;
    void RunQueuedCommands();
    void RunLoad(const std::string& path, bool& ok);
    void RunPlayPause();
    void RunChooseNoFile();
    void RunPlayLoadedEntry();
    void RunSeek(int position);
    void RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend);
    // With the deck paused: stops the read worker, lets `moveReader` place
    // the reader (reopened when it has moved past the current track) and
    // reads again from there; the stream reopens once the read-ahead is in.
    void ReadAgainFrom(const std::function<void()>& moveReader);
    // The frame of the current track being heard; false when what is heard
    // is not the current track's (silence at the end, no stream yet).
    bool HeardTrackFrame(int64_t& frame) const;
    void WaitPumping(CEvent& event);

    void OpenOnFileOpenWorker(const std::string& path);
    // After the loaded entry failed to open: marks it unreadable and loads
    // the first later entry that opens. False when none does.
    bool LoadFollowingReadableEntry();
    // Pauses, stops the read worker and closes the reader.
    void UnloadTrack();
    std::string CueTrackAfterHandedOver(int& cuedRow);
    void ForgetHandedOverTracks();
    void OnHandedOverTrackHeard(uint64_t serial);
    void ShowTrack(const std::string& path, double length);
    void OnReadAheadReady(uint64_t generation);
    bool ReaderHasEnded() const;
    void ReportUnderruns(uint64_t played);
    uint64_t HeardFrame(uint64_t played) const;
    void FollowHeardPosition(uint64_t played);
    void OnStartTimer();
    void OnLengthDisplayTimer();
    void OnFastWindTick(bool forward);
    void StartFastWind(bool forward);
    void EndFastWind(bool forward);
    void StepThroughPlaylist(bool forward);

    void FileReadForwardProcess(uint64_t generation);
    void PlayForwardNotifyProcess(uint64_t generation, std::shared_ptr<std::atomic<bool>> exited);
    void JoinExitedPlayWorkers(bool waitForAll);

    CEngineContext& m_engine;
    CAudioFileReader& m_reader;
    CSoundOutput& m_output;
    CChunkStore& m_store;
    CAnalysisRing& m_analysis;
    CPlaylist& m_playlist;
    IDeckHost& m_host;

    State m_state = State::NoFile;
    int m_volumeLevel = 0;
    std::string m_trackPath;
    uint64_t m_trackSerial = 0; // the reader's open serial of the current track
    double m_trackLength = 0.0;
    std::string m_timeText;
    bool m_handedOver = false;
    std::deque<HandedOverTrack> m_handedOverTracks;
    int m_handOverRow = -1; // playlist row the reader reads now, -1 unknown

    // Per ring segment: silence after the end of the data; whose audio it
    // holds (0 for silence) and that track's frame at the segment's first
    // frame (negative in the chunk where a track hands over to the next).
    std::array<bool, kRingSegments> m_segmentEndMark{};
    std::array<uint64_t, kRingSegments> m_segmentTrackSerial{};
    std::array<int64_t, kRingSegments> m_segmentTrackFrame{};
    // The segment (counted from the stream's opening) that held the cursor
    // at the last look.
    uint64_t m_cursorSegment = 0;
    StarvationReport m_reportedStarvation;
    int m_chunksSinceWake = 0;
    int m_notifyCount = 0;
    int m_fillTarget = kFillTarget;
    uint64_t m_audioBytesWritten = 0;
    bool m_reachedEnd = false;

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
    std::string m_trackTitle;

    int m_waitDepth = 0;
    int m_executeDepth = 0;
    std::deque<DeckCommand> m_queue;

    std::thread m_readThread;
    std::atomic<bool> m_lowerReadPriority{false};
    std::atomic<bool> m_readEnded{false};
    std::atomic<uint64_t> m_readGeneration{0};
    std::vector<PlayWorker> m_playWorkers;
    std::atomic<uint64_t> m_playGeneration{0};
    std::vector<uint8_t> m_silence;
};

} // namespace tessel
