// Music tracks: decoding every format, where `load` finds them, the player on
// the fixed-step clock and the timeline it leaves for a recording, and the
// engine clock following a track on the system clock.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "core/clock.h"
#include "media/music.h"
#include "tests/support/e2e.h"

namespace {

// A sound file of `frames` frames written by libsndfile; `value(frame,
// channel)` gives each sample from -1 to 1.
template <typename Value>
bool write_sound(const std::string& path, int format, int rate, int channels, int frames, Value value) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> samples(static_cast<size_t>(frames) * channels);
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(f) * channels + c] = value(f, c);
  sf_writef_float(file, samples.data(), frames);
  sf_close(file);
  return true;
}

float tone(int frame, int rate) { return 0.5f * std::sin(2 * 3.14159265f * 440.0f * frame / rate); }

TEST(TrackFiles, EveryFormatBecomesStereoAt48kHz) {
  DataFolder data;
  struct Case {
    const char* name;
    int format, rate, channels, frames;
    int64_t slack;  // frames a lossy coder adds or drops at the ends
  } cases[] = {
      {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 44100, 8},
      {"stereo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 24000, 0},
      {"low.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 2, 44100, 64},
      {"song.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 44100, 4000},
  };
  for (const Case& c : cases) {
    const int rate = c.rate;
    ASSERT_TRUE(write_sound(data.path() + c.name, c.format, c.rate, c.channels, c.frames,
                            [rate](int f, int ch) { return ch == 0 ? tone(f, rate) : -tone(f, rate); }))
        << c.name;
    std::shared_ptr<Track> track = decode_track(data.path() + c.name);
    ASSERT_TRUE(track) << c.name;
    const int64_t want = int64_t{c.frames} * MUSIC_RATE / c.rate;
    EXPECT_NEAR(track->frames(), want, c.slack + 2) << c.name;
    ASSERT_EQ(track->samples.size() % 2, 0u);
    // A mono file plays the same on both sides; a stereo one keeps its sides.
    const int16_t left = track->samples[2 * 1000], right = track->samples[2 * 1000 + 1];
    if (c.channels == 1) {
      EXPECT_EQ(left, right) << c.name;
    } else if (c.slack == 0) {
      EXPECT_EQ(left, -right) << c.name;
    }
    // The tone's level survives (0.5 of full scale).
    int16_t peak = 0;
    for (int64_t f = 0; f < track->frames(); ++f) peak = std::max<int16_t>(peak, track->samples[2 * f]);
    EXPECT_NEAR(peak, 16384, 1200) << c.name;
  }
}

TEST(TrackFiles, UnreadableFilesGiveNoTrack) {
  DataFolder data;
  data.write("junk.ogg", "OggS but nothing after it");
  data.write("empty.wav", "");
  EXPECT_FALSE(decode_track(data.path() + "junk.ogg"));
  EXPECT_FALSE(decode_track(data.path() + "empty.wav"));
  EXPECT_FALSE(decode_track(data.path() + "missing.flac"));
}

TEST(TrackFiles, ExtensionsAreTriedInOrderWithoutRegardToCase) {
  DataFolder data;
  data.write("a.mp3", "x");
  data.write("a.WAV", "x");
  data.write("b.flac", "x");
  EXPECT_EQ(find_track_file(data.path(), "a"), data.path() + "a.WAV");
  EXPECT_EQ(find_track_file(data.path(), "b"), data.path() + "b.flac");
  EXPECT_EQ(find_track_file(data.path(), "c"), "");
}

// A track whose every left sample is its frame number modulo 20000 and whose
// right sample is the negative: any sample tells where in the track it is.
std::string write_counting_track(const DataFolder& data, const char* name, int frames) {
  std::string path = data.path() + name;
  SF_INFO info{};
  info.samplerate = MUSIC_RATE;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
  for (int f = 0; f < frames; ++f) {
    samples[2 * f] = static_cast<int16_t>(f % 20000);
    samples[2 * f + 1] = static_cast<int16_t>(-(f % 20000));
  }
  sf_writef_short(file, samples.data(), frames);
  sf_close(file);
  return path;
}

// The fixed-step clock for one test, stepped by hand, 10 ms a frame.
class FixedClock : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_clock_set_fixed_step(10.0);
    engine_clock_start();
  }
  void TearDown() override { engine_clock_set_fixed_step(0.0); }
  static void frames(int n) {
    for (int i = 0; i < n; ++i) engine_clock_advance_frame();
  }
};

TEST_F(FixedClock, TheTrackFollowsEngineTimeThroughPauseSeekAndEnd) {
  DataFolder data;
  MusicPlayer player;
  const int track = player.load("count", write_counting_track(data, "count.wav", MUSIC_RATE));  // one second
  ASSERT_EQ(track, 0);
  EXPECT_EQ(player.load("count", data.path() + "count.wav"), 0);  // the same name: the same track
  EXPECT_EQ(player.load("other", data.path() + "missing.wav"), -1);
  EXPECT_FALSE(player.audible());  // nothing plays aloud on the fixed-step clock

  player.play(track, 0);
  frames(5);
  EXPECT_EQ(player.position_ms(), 50u);
  player.pause();
  frames(3);
  EXPECT_EQ(player.position_ms(), 50u);
  player.resume();
  frames(2);
  EXPECT_EQ(player.position_ms(), 70u);
  player.seek(900);
  frames(5);
  EXPECT_EQ(player.position_ms(), 950u);
  EXPECT_TRUE(player.playing());
  frames(10);  // past the end: it stays at the end
  EXPECT_EQ(player.position_ms(), 1000u);
  EXPECT_FALSE(player.playing());
  player.play(track, 20000);  // beyond the end: clamped
  EXPECT_EQ(player.position_ms(), 1000u);
  player.halt();
  EXPECT_EQ(player.position_ms(), 0u);
  player.play(7, 0);  // no such track
  player.play(-1, 0);
  player.seek(100);
  EXPECT_EQ(player.position_ms(), 0u);
}

TEST_F(FixedClock, TheTimelineGivesWhatPlayedAtEachEngineTime) {
  DataFolder data;
  MusicPlayer player;
  const int track = player.load("count", write_counting_track(data, "count.wav", MUSIC_RATE));
  frames(10);  // 100 ms of silence first
  player.play(track, 0);
  frames(5);  // plays 100..150
  player.pause();
  frames(5);  // silent 150..200
  player.resume();
  player.set_volume(0.5f);
  frames(5);  // plays at half 200..250 (track 50..100 ms)
  player.seek(500);
  frames(5);  // 250..300: track 500..550 ms, still at half

  const int64_t total = 300 * MUSIC_FRAMES_PER_MS;
  std::vector<int16_t> sound(static_cast<size_t>(total) * 2);
  player.render(0, static_cast<int>(total), 0, sound.data());
  auto left = [&](int ms, int extra = 0) { return sound[2 * (ms * MUSIC_FRAMES_PER_MS + extra)]; };
  EXPECT_EQ(left(50), 0);
  EXPECT_EQ(left(99, 47), 0);     // the last frame before the start
  EXPECT_EQ(left(100, 1), 1);     // the track's second frame
  EXPECT_EQ(sound[2 * (100 * MUSIC_FRAMES_PER_MS + 1) + 1], -1);
  EXPECT_EQ(left(149, 47), 2399); // its 50th millisecond
  EXPECT_EQ(left(170), 0);        // paused
  EXPECT_EQ(left(210), (60 * MUSIC_FRAMES_PER_MS) / 2);   // track 60 ms at half
  EXPECT_EQ(left(260), (510 * MUSIC_FRAMES_PER_MS % 20000) / 2);

  // A recording that starts later takes its first frame from there.
  std::vector<int16_t> later(2 * 10);
  player.render(0, 10, 120, later.data());
  EXPECT_EQ(later[0], 20 * MUSIC_FRAMES_PER_MS);
  EXPECT_EQ(later[2 * 9], 20 * MUSIC_FRAMES_PER_MS + 9);
}

// A position the test sets by hand, for the clock to follow.
std::atomic<uint32_t> fake_position{0};
std::atomic<bool> fake_advancing{true};
bool fake_source(uint32_t* position_ms) {
  *position_ms = fake_position.load();
  return fake_advancing.load();
}

TEST(ClockFollowing, EngineTimeMovesWithTheSourceAndNeverJumps) {
  fake_position = 5000;
  fake_advancing = true;
  engine_clock_follow(fake_source);
  const uint32_t anchor = engine_clock_now();
  // The system clock moves on, the source does not: neither does engine time.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(engine_clock_now(), anchor);
  fake_position = 5250;
  EXPECT_EQ(engine_clock_now(), anchor + 250);

  // The source ends: engine time goes on from where it stood, by the system clock.
  fake_position = 5400;
  fake_advancing = false;
  const uint32_t ended = engine_clock_now();
  EXPECT_EQ(ended, anchor + 400);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t later = engine_clock_now();
  EXPECT_GE(later - ended, 25u);
  EXPECT_LT(later - ended, 1000u);

  // Following again, and letting go by hand, keep the time where it is.
  fake_advancing = true;
  fake_position = 100;
  engine_clock_follow(fake_source);
  const uint32_t again = engine_clock_now();
  EXPECT_LT(again - later, 1000u);
  fake_position = 160;
  engine_clock_follow(nullptr);
  const uint32_t released = engine_clock_now();
  EXPECT_GE(released - again, 60u);
  EXPECT_LT(released - again, 1000u);
}

TEST(SystemClock, APlayingTrackLeadsEngineTime) {
  // SDL's dummy output consumes sound at the real rate; where there is no
  // such driver the track plays silently on the system clock instead. Either
  // way engine time follows the track.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  DataFolder data;
  MusicPlayer& player = music();
  const int track = player.load("count", write_counting_track(data, "count.wav", 5 * MUSIC_RATE));
  ASSERT_GE(track, 0);
  const uint32_t before = engine_clock_now();
  player.play(track, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const uint32_t position = player.position_ms();
  const uint32_t elapsed = engine_clock_now() - before;
  EXPECT_GE(position, 1200u);
  EXPECT_LE(position, 1700u);
  // Engine time moved as the track did (give or take the device's block).
  EXPECT_NEAR(static_cast<double>(elapsed), static_cast<double>(position - 1000), 60.0);

  // Paused, the track stands and engine time goes on by the system clock, without a jump.
  player.pause();
  const uint32_t paused_at = player.position_ms();
  const uint32_t t0 = engine_clock_now();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(player.position_ms(), paused_at);
  const uint32_t t1 = engine_clock_now();
  EXPECT_GE(t1 - t0, 90u);
  EXPECT_LT(t1 - t0, 400u);
  player.unload_all();
  engine_clock_follow(nullptr);
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
