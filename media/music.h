// Music tracks: loaded whole and decoded (WAV, FLAC, Ogg Vorbis, MP3 through
// libsndfile) into 48 kHz 16-bit stereo, then played by the scene commands.
//
// Three ways to play, chosen when a track starts:
// - on the fixed-step clock nothing plays aloud: the track's position follows
//   engine time, and what it played is kept as a timeline that the recorder
//   mixes into the video;
// - on the system clock with an audio device, the device plays it and engine
//   time follows the device's position (core/clock), so the scene keeps to
//   the track when frames drop;
// - on the system clock without a device (headless, CI), it plays silently on
//   the system clock, and engine time follows that.
//
// Control (load, play, pause, seek, ...) belongs to the render thread; the
// device's thread pulls samples, the recorder's worker reads the timeline, and
// any thread that reads the engine clock may ask for the position.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Frames (one sample per channel) per second of every decoded track and of the
// recorded sound; 48 frames a millisecond.
constexpr int MUSIC_RATE = 48000;
constexpr int MUSIC_FRAMES_PER_MS = MUSIC_RATE / 1000;
// Loaded tracks at once; `load` gives their numbers 0 to MAX_TRACKS - 1.
constexpr int MAX_TRACKS = 8;
// The longest track taken: positions are 32-bit frame counts and the whole
// track is kept in memory (about 690 MB an hour).
constexpr int64_t MAX_TRACK_FRAMES = int64_t{MUSIC_RATE} * 60 * 60;

// The file extensions `load` tries after the mesh and image ones, in order.
extern const char* const TRACK_EXTENSIONS[4];

struct Track {
  std::string name;              // as the script loaded it
  std::vector<int16_t> samples;  // interleaved left, right at MUSIC_RATE
  int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
};

// Reads a whole sound file into a Track (resampled to MUSIC_RATE, mono made
// stereo, channels past the second dropped). Null when it cannot be read, is
// empty or is longer than MAX_TRACK_FRAMES.
std::shared_ptr<Track> decode_track(const std::string& path);

// The first of data folder + name + "." + TRACK_EXTENSIONS that exists
// (matched as every data file is); empty when none does.
std::string find_track_file(const std::string& data_path, const std::string& name);

class MusicPlayer {
 public:
  MusicPlayer() = default;
  ~MusicPlayer();
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // The track's number (the same one again for a name already loaded), or -1
  // when the file cannot be read or every number is taken.
  int load(const std::string& name, const std::string& path);

  // Each takes effect at the engine time it runs. A number that names no
  // loaded track, or a command with no current track, is ignored.
  void play(int track, double from_ms);  // from a position (clamped into the track)
  void pause();
  void resume();
  void halt();                           // no current track any more
  void seek(double position_ms);         // of the current track, playing or paused
  void set_volume(float volume);         // 0 to 1
  // Halts and forgets every track (the scene's clean-up, shut-down); closes the device.
  void unload_all();

  // Position of the current track in milliseconds (its length once it ended;
  // 0 without one).
  uint32_t position_ms() const;
  bool playing() const;
  bool audible() const { return mode_ == Mode::Device; }

  // The recorder: `count` stereo frames at MUSIC_RATE of what the scene played,
  // frame 0 being engine time origin_ms, starting at frame `first`. Frames
  // after the last engine time a command ran at follow the state it left.
  void render(int64_t first, int count, uint32_t origin_ms, int16_t* out) const;

  // The device's thread: the next `count` frames.
  void fill(int16_t* out, int count);
  // Any thread, while the clock follows this player: see ClockSource.
  bool clock_position(uint32_t* position_ms) const;

 private:
  enum class Mode { Fixed, Device, Silent };

  // From engine time start_ms on, `track` plays from frame track_frame at
  // `volume`; null: silence.
  struct Segment {
    uint32_t start_ms;
    std::shared_ptr<const Track> track;
    int64_t track_frame;
    float volume;
  };

  int64_t position_frames() const;       // of the current track, under mutex_
  void restart_at(int64_t frame, bool paused);  // the current track from `frame`
  void note_segment();                   // the timeline takes the state now, under mutex_
  void hand_clock_over();                // the clock follows the player while it plays

  mutable std::mutex mutex_;  // tracks, state, timeline (the device and the recorder read them)
  std::shared_ptr<const Track> tracks_[MAX_TRACKS];
  int current_ = -1;
  bool paused_ = false;
  float volume_ = 1.0f;
  Mode mode_ = Mode::Fixed;
  int64_t base_frame_ = 0;    // track frame at base_ms_ (engine time, Fixed) or base_ticks_ (Silent)
  uint32_t base_ms_ = 0;
  uint32_t base_ticks_ = 0;
  int64_t cursor_ = 0;        // Device: next frame the fill hands over
  std::vector<Segment> timeline_;

  // Read by clock_position without the lock: what is playing now.
  std::atomic<int64_t> track_frames_{0};
  std::atomic<int64_t> start_frame_{0};
  std::atomic<uint32_t> start_ticks_{0};
  std::atomic<Mode> source_mode_{Mode::Fixed};
  std::atomic<uint64_t> last_fill_{0};   // Device: frame before the fill (high 32 bits) and its tick
  mutable std::atomic<int64_t> reported_{0};  // the position never runs backwards
};

// The engine's one player. Render thread for control.
MusicPlayer& music();
