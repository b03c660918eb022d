#include "media/music.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/clock.h"
#include "media/ffmpeg_module.h"
#include "platform/audio.h"
#include "platform/platform.h"

const char* const TRACK_EXTENSIONS[4] = {"ogg", "wav", "flac", "mp3"};

// Frames the device asks for at a time: about 21 ms, also the uncertainty of
// its position between two fills.
constexpr int DEVICE_BLOCK_FRAMES = 1024;

// ---- decoding -------------------------------------------------------------------

namespace {

// Interleaved stereo floats at `rate` to 16-bit stereo at MUSIC_RATE: at that
// rate here, as FFmpeg converts a sample (rounded, clipped); at any other
// through the FFmpeg module's resampler.
bool resample(const std::vector<float>& stereo, int rate, std::vector<int16_t>* out) {
  if (rate != MUSIC_RATE) {
    std::string error;
    if (resample_to_music_rate(stereo.data(), stereo.size() / 2, rate, out, &error)) return true;
    std::fprintf(stderr, "talpine: %s\n", error.c_str());
    return false;
  }
  out->resize(stereo.size());
  for (size_t i = 0; i < stereo.size(); ++i)
    (*out)[i] = static_cast<int16_t>(std::clamp(std::lrintf(stereo[i] * 32768.0f), -32768L, 32767L));
  return true;
}

}  // namespace

std::shared_ptr<Track> decode_track(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(platform::resolve_file(path).c_str(), SFM_READ, &info);
  if (!file) return nullptr;
  if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 384000) {
    sf_close(file);
    return nullptr;
  }
  // Stereo floats at the file's rate; mono is doubled, channels past two dropped.
  std::vector<float> stereo;
  std::vector<float> block(static_cast<size_t>(4096) * info.channels);
  const int64_t limit = MAX_TRACK_FRAMES * info.samplerate / MUSIC_RATE;
  for (;;) {
    sf_count_t got = sf_readf_float(file, block.data(), 4096);
    if (got <= 0) break;
    for (sf_count_t f = 0; f < got; ++f) {
      const float* frame = block.data() + f * info.channels;
      stereo.push_back(frame[0]);
      stereo.push_back(info.channels > 1 ? frame[1] : frame[0]);
    }
    if (static_cast<int64_t>(stereo.size() / 2) > limit) {
      sf_close(file);
      return nullptr;
    }
  }
  sf_close(file);
  if (stereo.empty()) return nullptr;

  auto track = std::make_shared<Track>();
  if (!resample(stereo, info.samplerate, &track->samples) || track->samples.empty()) return nullptr;
  return track;
}

std::string find_track_file(const std::string& data_path, const std::string& name) {
  for (const char* extension : TRACK_EXTENSIONS) {
    std::string path = platform::resolve_file(data_path + name + "." + extension);
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
  }
  return {};
}

// ---- the player -------------------------------------------------------------------

MusicPlayer& music() {
  static MusicPlayer player;
  return player;
}

static bool follow_music(uint32_t* position_ms) { return music().clock_position(position_ms); }

static void fill_from_music(void* player, int16_t* out, int count) {
  static_cast<MusicPlayer*>(player)->fill(out, count);
}

MusicPlayer::~MusicPlayer() {
  if (mode_ == Mode::Device) platform::close_audio();
}

int MusicPlayer::load(const std::string& name, const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < MAX_TRACKS; ++i)
      if (tracks_[i] && tracks_[i]->name == name) return i;
  }
  // Decoded without the lock: the device and the recorder go on meanwhile.
  std::shared_ptr<Track> track = decode_track(path);
  if (!track) return -1;
  track->name = name;
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < MAX_TRACKS; ++i) {
    if (!tracks_[i]) {
      tracks_[i] = std::move(track);
      return i;
    }
  }
  return -1;
}

int64_t MusicPlayer::position_frames() const {
  if (current_ < 0) return 0;
  const int64_t frames = tracks_[current_]->frames();
  if (paused_) return std::min(base_frame_, frames);
  int64_t at = base_frame_;
  switch (mode_) {
    case Mode::Fixed:
      at += int64_t{engine_clock_now() - base_ms_} * MUSIC_FRAMES_PER_MS;
      break;
    case Mode::Silent:
      at += int64_t{platform::ticks_ms() - base_ticks_} * MUSIC_FRAMES_PER_MS;
      break;
    case Mode::Device: {
      uint32_t ms = 0;
      clock_position(&ms);
      at = int64_t{ms} * MUSIC_FRAMES_PER_MS;
      break;
    }
  }
  return std::min(at, frames);
}

void MusicPlayer::note_segment() {
  Segment segment{engine_clock_now(), nullptr, base_frame_, volume_};
  if (current_ >= 0 && !paused_) segment.track = tracks_[current_];
  // Two commands at one engine time: the later one stands.
  if (!timeline_.empty() && timeline_.back().start_ms == segment.start_ms)
    timeline_.back() = segment;
  else
    timeline_.push_back(segment);
}

void MusicPlayer::restart_at(int64_t frame, bool paused) {
  const int64_t frames = tracks_[current_]->frames();
  base_frame_ = std::clamp<int64_t>(frame, 0, frames);
  base_ms_ = engine_clock_now();
  base_ticks_ = platform::ticks_ms();
  paused_ = paused;
  cursor_ = base_frame_;
  track_frames_.store(frames);
  start_frame_.store(base_frame_);
  start_ticks_.store(base_ticks_);
  source_mode_.store(mode_);
  last_fill_.store(0);
  reported_.store(base_frame_);
  note_segment();
}

// Engine time follows the player only on the system clock, and only while a
// track advances; every change first hands the clock back, so that the next
// anchor is taken where the clock then stands.
void MusicPlayer::hand_clock_over() {
  bool follow;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    follow = mode_ != Mode::Fixed && current_ >= 0 && !paused_;
  }
  if (mode_ == Mode::Device) platform::pause_audio(!follow);
  if (follow) engine_clock_follow(follow_music);
}

void MusicPlayer::play(int track, double from_ms) {
  if (track < 0 || track >= MAX_TRACKS) return;
  engine_clock_follow(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tracks_[track]) return;
    if (engine_clock_fixed()) {
      mode_ = Mode::Fixed;
    } else if (mode_ != Mode::Device) {
      // A device is looked for on the first track played on the system clock.
      mode_ = mode_ == Mode::Silent ? Mode::Silent : Mode::Device;
    }
    current_ = track;
  }
  if (mode_ == Mode::Device && !platform::audio_open() &&
      !platform::open_audio(MUSIC_RATE, DEVICE_BLOCK_FRAMES, fill_from_music, this)) {
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = Mode::Silent;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ != track) return;
    restart_at(std::llround(std::max(0.0, from_ms) * MUSIC_FRAMES_PER_MS), false);
  }
  hand_clock_over();
}

void MusicPlayer::pause() {
  engine_clock_follow(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ >= 0 && !paused_) restart_at(position_frames(), true);
  }
  hand_clock_over();
}

void MusicPlayer::resume() {
  engine_clock_follow(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ >= 0 && paused_) restart_at(base_frame_, false);
  }
  hand_clock_over();
}

void MusicPlayer::halt() {
  engine_clock_follow(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ >= 0) {
      current_ = -1;
      paused_ = false;
      note_segment();
    }
  }
  hand_clock_over();
}

void MusicPlayer::seek(double position_ms) {
  engine_clock_follow(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ >= 0) restart_at(std::llround(std::max(0.0, position_ms) * MUSIC_FRAMES_PER_MS), paused_);
  }
  hand_clock_over();
}

void MusicPlayer::set_volume(float volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  // NaN counts as silence.
  volume_ = volume > 0.0f ? std::min(volume, 1.0f) : 0.0f;
  if (current_ >= 0) {
    // The timeline's segment starts from where the track is now.
    base_frame_ = position_frames();
    base_ms_ = engine_clock_now();
    base_ticks_ = platform::ticks_ms();
    note_segment();
  }
}

void MusicPlayer::unload_all() {
  halt();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& track : tracks_) track.reset();
  if (mode_ == Mode::Device) {
    platform::close_audio();
    mode_ = Mode::Fixed;
  }
}

uint32_t MusicPlayer::position_ms() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(position_frames() / MUSIC_FRAMES_PER_MS);
}

bool MusicPlayer::playing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_ >= 0 && !paused_ && position_frames() < tracks_[current_]->frames();
}

// Scaled by the volume, rounded, within 16 bits.
static int16_t scaled(int16_t sample, float volume) {
  if (volume >= 1.0f) return sample;
  return static_cast<int16_t>(std::lround(sample * volume));
}

void MusicPlayer::fill(int16_t* out, int count) {
  std::fill(out, out + 2 * static_cast<size_t>(count), int16_t{0});
  std::lock_guard<std::mutex> lock(mutex_);
  if (current_ < 0 || paused_) return;
  const Track& track = *tracks_[current_];
  const int64_t before = cursor_;
  for (int f = 0; f < count && cursor_ < track.frames(); ++f, ++cursor_) {
    out[2 * f] = scaled(track.samples[2 * cursor_], volume_);
    out[2 * f + 1] = scaled(track.samples[2 * cursor_ + 1], volume_);
  }
  last_fill_.store((static_cast<uint64_t>(before) << 32) | platform::ticks_ms(), std::memory_order_release);
}

bool MusicPlayer::clock_position(uint32_t* position_ms) const {
  const int64_t frames = track_frames_.load();
  const int64_t start = start_frame_.load();
  const Mode mode = source_mode_.load();
  int64_t at = start;
  if (mode == Mode::Silent) {
    at = start + int64_t{platform::ticks_ms() - start_ticks_.load()} * MUSIC_FRAMES_PER_MS;
  } else if (mode == Mode::Device) {
    // What is heard now is about one block behind what the device last took,
    // and it moves on by the time since then, for at most a block.
    const uint64_t fill = last_fill_.load(std::memory_order_acquire);
    if (fill != 0) {
      const int64_t before = static_cast<int64_t>(fill >> 32);
      const uint32_t since = platform::ticks_ms() - static_cast<uint32_t>(fill);
      at = before - DEVICE_BLOCK_FRAMES + std::min<int64_t>(int64_t{since} * MUSIC_FRAMES_PER_MS, DEVICE_BLOCK_FRAMES);
    }
  }
  // Never backwards, never past the end.
  int64_t reported = reported_.load();
  at = std::max(at, reported);
  while (at > reported && !reported_.compare_exchange_weak(reported, at)) at = std::max(at, reported);
  at = std::clamp<int64_t>(at, start, frames);
  *position_ms = static_cast<uint32_t>(at / MUSIC_FRAMES_PER_MS);
  return at < frames;
}

void MusicPlayer::render(int64_t first, int count, uint32_t origin_ms, int16_t* out) const {
  std::fill(out, out + 2 * static_cast<size_t>(count), int16_t{0});
  std::lock_guard<std::mutex> lock(mutex_);
  // Frame index (from the origin) where each segment begins.
  auto boundary = [&](const Segment& s) {
    return int64_t{static_cast<int32_t>(s.start_ms - origin_ms)} * MUSIC_FRAMES_PER_MS;
  };
  const int64_t end = first + count;
  for (size_t k = 0; k < timeline_.size(); ++k) {
    const Segment& segment = timeline_[k];
    if (!segment.track) continue;
    const int64_t from = std::max(first, boundary(segment));
    const int64_t to = std::min(end, k + 1 < timeline_.size() ? boundary(timeline_[k + 1]) : end);
    for (int64_t n = from; n < to; ++n) {
      const int64_t t = segment.track_frame + (n - boundary(segment));
      if (t >= segment.track->frames()) break;
      out[2 * (n - first)] = scaled(segment.track->samples[2 * t], segment.volume);
      out[2 * (n - first) + 1] = scaled(segment.track->samples[2 * t + 1], segment.volume);
    }
  }
}
