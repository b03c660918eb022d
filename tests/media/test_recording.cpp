// Recording through the program as a user runs it: video files of each
// container with the frame count, rate and size asked for, a file that plays
// however the run ends, the music under the pictures at the right frame, the
// script reading the track's position, and a recording split into chunks and
// joined. ffprobe and ffmpeg (scripts/deps) read the files back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/e2e.h"

namespace fs = std::filesystem;

namespace {

std::string run_command(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
  }
  return output;
}

bool have_ffmpeg() { return run_command("command -v ffprobe && command -v ffmpeg").find("ffmpeg") != std::string::npos; }

// One stream as ffprobe reports it, frames counted by decoding.
struct StreamInfo {
  std::string codec;
  int width = 0, height = 0;
  int frames = 0;
  std::string rate;
  double duration = 0;
};

std::vector<StreamInfo> probe(const std::string& path) {
  std::string text = run_command("ffprobe -v error -count_frames -show_entries "
                                 "stream=codec_name,width,height,nb_read_frames,r_frame_rate,duration "
                                 "-of default=noprint_wrappers=0 '" + path + "' 2>&1");
  std::vector<StreamInfo> streams;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "[STREAM]") streams.emplace_back();
    size_t equals = line.find('=');
    if (streams.empty() || equals == std::string::npos) continue;
    std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    StreamInfo& s = streams.back();
    if (key == "codec_name") s.codec = value;
    if (key == "width") s.width = std::atoi(value.c_str());
    if (key == "height") s.height = std::atoi(value.c_str());
    if (key == "nb_read_frames") s.frames = std::atoi(value.c_str());
    if (key == "r_frame_rate") s.rate = value;
    if (key == "duration") s.duration = std::atof(value.c_str());
  }
  return streams;
}

// The file's sound, decoded, as mono 16-bit samples at 48 kHz.
std::vector<int16_t> decoded_sound(const std::string& path) {
  std::string raw = run_command("ffmpeg -v error -i '" + path + "' -vn -f s16le -ac 1 -ar 48000 -");
  std::vector<int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

// A scene that changes every frame: a sphere crossing the window.
const char* MOVING_SCRIPT =
    "b = load(\"ball\");\n"
    "object b active 1;\n"
    "scene fogcolor (0.2, 0.3, 0.5);\n"
    "x = -4;\n"
    "while (1) { object b position (x, 0, 10); x = x + 0.2; sleep 20; }\n";

void write_ball(const DataFolder& data) {
  std::ifstream in(std::string(TALPINE_SOURCE_DIR) + "/examples/language/Data/ball.obj", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  data.write("ball.obj", bytes.str());
}

class VideoFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffprobe and ffmpeg are not installed (scripts/deps)";
    write_ball(data);
    data.write("script.txt", MOVING_SCRIPT);
  }
  DataFolder data;
};

TEST_F(VideoFiles, EachContainerHasItsCodecsFramesRateAndSize) {
  struct Case {
    const char* file;
    const char* video;
    const char* sound;
    const char* size;
    int width, height;
  } cases[] = {
      {"a.mp4", "h264", "aac", "96x64", 96, 64},
      {"b.mkv", "h264", "aac", "96x64", 96, 64},
      {"c.WebM", "vp9", "opus", "96x64", 96, 64},
      // 4:2:0 pictures have even edges: the odd row and column are left out.
      {"d.mp4", "h264", "aac", "97x65", 96, 64},
  };
  for (const Case& c : cases) {
    std::string path = data.path() + c.file;
    RunResult run = run_talpine(data, {"--record", path, "--fps", "25", "--max-frames", "30", "--size", c.size});
    ASSERT_EQ(run.exit_status, 0) << c.file << run.errors;
    EXPECT_NE(run.errors.find("recorded 30 frames (frame 1 to 30, engine time 0 to 1160 ms)"), std::string::npos)
        << run.errors;
    std::vector<StreamInfo> streams = probe(path);
    ASSERT_EQ(streams.size(), 2u) << c.file;
    EXPECT_EQ(streams[0].codec, c.video) << c.file;
    EXPECT_EQ(streams[0].frames, 30) << c.file;
    EXPECT_EQ(streams[0].rate, "25/1") << c.file;
    EXPECT_EQ(streams[0].width, c.width) << c.file;
    EXPECT_EQ(streams[0].height, c.height) << c.file;
    EXPECT_EQ(streams[1].codec, c.sound) << c.file;
  }
  // A sound track as long as the pictures even when nothing plays.
  std::vector<StreamInfo> streams = probe(data.path() + "a.mp4");
  EXPECT_NEAR(streams[1].duration, streams[0].duration, 0.03);
}

TEST_F(VideoFiles, TheFileIsFinishedHoweverTheRunEnds) {
  auto frames_in = [](const std::string& path) {
    std::vector<StreamInfo> streams = probe(path);
    return streams.empty() ? -1 : streams[0].frames;
  };
  // The script's `exit`: one frame shows what it posted, then the run ends
  // with exit status 0 and a whole file.
  data.write("script.txt", "scene fogcolor (1, 0, 0);\nsleep 200;\nexit;\nscene fogcolor (0, 1, 0);\n");
  std::string exited = data.path() + "exit.mp4";
  RunResult run = run_talpine(data, {"--record", exited, "--fps", "50", "--size", "64x48"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(frames_in(exited), 11);  // 0 to 200 ms: the frame at 200 ms is the last

  // `scene stop`, and a script error (a failed run, yet a file that plays).
  data.write("script.txt", "sleep 100;\nscene stop;\n");
  std::string stopped = data.path() + "stop.mkv";
  run = run_talpine(data, {"--record", stopped, "--fps", "50", "--size", "64x48"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(frames_in(stopped), 5);
  data.write("script.txt", "sleep 100;\nscene nonsense;\n");
  std::string failed = data.path() + "error.webm";
  run = run_talpine(data, {"--record", failed, "--fps", "50", "--size", "64x48"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(frames_in(failed), 6);  // the frame whose drain met the error is still drawn

  // Interrupted from outside: Ctrl+C and a polite kill.
  data.write("script.txt", MOVING_SCRIPT);
  for (int number : {SIGINT, SIGTERM}) {
    std::string path = data.path() + "signal" + std::to_string(number) + ".mp4";
    TalpineProcess talpine(data, {"--headless", "--data", data.path(), "--record", path, "--size", "64x48"});
    // Until the first progress line says frames of this file are being written.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (talpine.errors_so_far().find(path + ": ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    talpine.send_signal(number);
    RunResult ended = talpine.finish();
    EXPECT_EQ(ended.exit_status, 0) << number << ended.errors;
    size_t at = ended.errors.find("talpine: recorded ");
    ASSERT_NE(at, std::string::npos) << ended.errors;
    int said = std::atoi(ended.errors.c_str() + at + std::string("talpine: recorded ").size());
    EXPECT_GT(said, 0);
    EXPECT_EQ(frames_in(path), said) << number;
  }
}

TEST_F(VideoFiles, ARecordingThatCannotBeWrittenFailsTheRun) {
  data.write("plain", "a file, not a folder");
  for (const std::string& target : {data.path() + "plain/sub/x.mp4", data.path() + "plain/frames"}) {
    RunResult run = run_talpine(data, {"--record", target, "--max-frames", "3", "--size", "32x32"});
    EXPECT_EQ(run.exit_status, 1) << target;
    EXPECT_NE(run.errors.find("talpine: cannot"), std::string::npos) << run.errors;
  }
}

TEST_F(VideoFiles, PngFramesAreNumberedFromTheRunsStart) {
  std::string frames = data.path() + "frames";
  RunResult run = run_talpine(data, {"--record", frames, "--fps", "50", "--max-frames", "5", "--size", "40x30"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_NE(run.errors.find("recorded 5 frames (frame 1 to 5, engine time 0 to 80 ms)"), std::string::npos)
      << run.errors;
  RunResult first, last;
  ASSERT_TRUE(read_png_file(frames + "/frame000001.png", &first));
  ASSERT_TRUE(read_png_file(frames + "/frame000005.png", &last));
  EXPECT_EQ(last.width, 40);
  EXPECT_EQ(last.height, 30);
  EXPECT_NE(first.rgb, last.rgb);  // the ball moved
  EXPECT_FALSE(fs::exists(frames + "/frame000006.png"));
}

// ---- music ----------------------------------------------------------------------

// Three seconds of silence with a click (2 ms at 80 % of full scale) at one second.
void write_click(const DataFolder& data) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open((data.path() + "click.wav").c_str(), SFM_WRITE, &info);
  std::vector<int16_t> samples(3 * 44100, 0);
  for (int i = 0; i < 88; ++i) samples[44100 + i] = 26000;
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

// The first sample of the click, in seconds into the file's sound.
double click_time(const std::string& path) {
  std::vector<int16_t> sound = decoded_sound(path);
  for (size_t i = 0; i < sound.size(); ++i)
    if (sound[i] > 10000) return static_cast<double>(i) / 48000.0;
  return -1;
}

TEST_F(VideoFiles, TheTracksClickLandsOnItsFrame) {
  write_click(data);
  // The track starts half a second into the scene: its click at 1.5 s.
  data.write("script.txt",
             "m = load(\"click\");\nsleep 500;\nscene musicplay (m, 0);\nsleep 2000;\n");
  std::string whole = data.path() + "whole.mp4";
  RunResult run = run_talpine(data, {"--record", whole, "--fps", "30", "--frames", "1", "--size", "64x48"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  std::vector<StreamInfo> streams = probe(whole);
  ASSERT_EQ(streams.size(), 2u);
  // A sound track as long as the video (AAC frames are 1024 samples).
  EXPECT_NEAR(streams[1].duration, streams[0].duration, 1024.0 / 48000.0);
  double at = click_time(whole);
  EXPECT_NEAR(at * 30, 45, 1.0) << at;  // within one frame of frame 45 (1.5 s)

  // A chunk that starts at 1.2 s has it 0.3 s in, at its frame 9; Opus in WebM alike.
  for (const char* name : {"late.mp4", "late.webm"}) {
    std::string late = data.path() + name;
    run = run_talpine(data, {"--record", late, "--fps", "30", "--start-at", "1.2", "--max-frames", "30",
                             "--size", "64x48"});
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    at = click_time(late);
    EXPECT_NEAR(at * 30, 9, 1.0) << name << " " << at;
  }
}

TEST_F(VideoFiles, TheScriptReadsWhereTheTrackIs) {
  write_click(data);
  // A verb's result comes with the next frame's drain, and the script goes on
  // after that frame: the pause lands one 10 ms frame after the status query.
  data.write("script.txt",
             "m = load(\"click\");\n"
             "scene musicplay (m, 250);\n"
             "sleep 100;\n"
             "p = status cMusic(0); print p;\n"
             "scene musicpause;\n"
             "sleep 50;\n"
             "p = status cMusic(0); print p;\n"
             "scene musicseek (1000);\n"
             "scene musicresume;\n"
             "sleep 30;\n"
             "p = status cMusic(0); print p;\n"
             "scene musicoff;\n"
             "p = status cMusic(0); print p;\n"
             "print m;\n");
  RunResult run = run_talpine(data, {"--fixed-step", "10", "--frames", "1", "--size", "32x32"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 350.000000\n"
            "Talpine Engine 2.02: script print: 360.000000\n"
            "Talpine Engine 2.02: script print: 1030.000000\n"
            "Talpine Engine 2.02: script print: 0.000000\n"
            "Talpine Engine 2.02: script print: 0.000000\n");
}

// ---- split recordings ------------------------------------------------------------

// Four chunks rendered by tools/chunks and joined by it make one video with
// every frame, each close to the same frame of one run (no seam).
TEST_F(VideoFiles, ChunksJoinIntoOneVideo) {
  const std::string tool = std::string(TALPINE_SOURCE_DIR) + "/tools/chunks";
  const std::string joined = data.path() + "joined.mp4";
  for (int i = 0; i < 4; ++i) {
    std::string command = tool + " record " + std::to_string(i) + " 4 40 25 '" + joined + "' -- '" + TALPINE_BINARY +
                          "' --headless --data '" + data.path() + "' --size 64x48 2>&1";
    run_command(command);
    ASSERT_TRUE(fs::exists(data.path() + "joined-" + std::to_string(i) + ".mp4")) << i;
  }
  run_command(tool + " join '" + joined + "' 4 2>&1");
  std::vector<StreamInfo> streams = probe(joined);
  ASSERT_FALSE(streams.empty());
  EXPECT_EQ(streams[0].frames, 40);

  std::string single = data.path() + "single.mp4";
  RunResult run = run_talpine(data, {"--record", single, "--fps", "25", "--max-frames", "40", "--size", "64x48"});
  ASSERT_EQ(run.exit_status, 0);
  auto pixels = [](const std::string& path) {
    return run_command("ffmpeg -v error -i '" + path + "' -vsync passthrough -f rawvideo -pix_fmt gray -");
  };
  std::string a = pixels(joined), b = pixels(single);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), 40u * 64 * 48);
  // Per frame, the mean difference of the two encodings stays small.
  for (int frame = 0; frame < 40; ++frame) {
    double total = 0;
    for (int i = 0; i < 64 * 48; ++i)
      total += std::abs(static_cast<int>(static_cast<uint8_t>(a[frame * 64 * 48 + i])) -
                        static_cast<int>(static_cast<uint8_t>(b[frame * 64 * 48 + i])));
    EXPECT_LT(total / (64 * 48), 2.0) << "frame " << frame;
  }
}

}  // namespace
