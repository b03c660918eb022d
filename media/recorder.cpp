#include "media/recorder.h"

#include <FreeImage.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "media/music.h"
#include "media/video_encoder.h"
#include "platform/platform.h"

namespace {

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool make_folder(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// DIR/frameNNNNNN.png, numbered from 1 by the frame's number since start-up,
// so that the files of a recording split with --start-at fit together.
std::string png_path(const std::string& folder, int64_t number) {
  char name[40];
  std::snprintf(name, sizeof name, "/frame%06lld.png", static_cast<long long>(number + 1));
  return folder + name;
}

// 24-bit PNG at the fastest compression: the pixels are what counts, and the
// writing keeps up with the frames.
bool write_png(const std::string& path, const CapturedFrame& frame) {
  const int row = (3 * frame.width + 3) / 4 * 4;
  std::vector<uint8_t> bgr(static_cast<size_t>(row) * frame.height);
  const int n = frame.channels;
  // Blue first either way: BGRA keeps its order, RGB is turned round.
  const int blue = n == 4 ? 0 : 2, red = n == 4 ? 2 : 0;
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* from = frame.pixels.data() + static_cast<size_t>(y) * frame.width * n;
    uint8_t* to = bgr.data() + static_cast<size_t>(y) * row;
    for (int x = 0; x < frame.width; ++x) {
      to[3 * x + 0] = from[n * x + blue];
      to[3 * x + 1] = from[n * x + 1];
      to[3 * x + 2] = from[n * x + red];
    }
  }
  // Rows stay bottom-up, which FreeImage takes as upright.
  FIBITMAP* image = FreeImage_ConvertFromRawBits(bgr.data(), frame.width, frame.height, row, 24, FI_RGBA_RED_MASK,
                                                 FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
  if (!image) return false;
  bool saved = FreeImage_Save(FIF_PNG, image, path.c_str(), PNG_Z_BEST_SPEED) != 0;
  FreeImage_Unload(image);
  return saved;
}

}  // namespace

Recorder::Recorder(const RecordSettings& settings) : settings_(settings) {}

std::unique_ptr<Recorder> Recorder::start(const RecordSettings& settings, std::string* error) {
  std::unique_ptr<Recorder> recorder(new Recorder(settings));
  recorder->video_ = is_video_file(settings.target);
  if (recorder->video_) {
    VideoSettings video;
    video.path = settings.target;
    video.fps = settings.fps;
    video.crf = settings.crf;
    video.audio = true;  // silent when nothing plays, so that every part of a split recording is alike
    recorder->encoder_ = VideoEncoder::create(video, error);
    if (!recorder->encoder_) return nullptr;
    recorder->workers_.emplace_back(&Recorder::encode_video, recorder.get());
  } else {
    if (!make_folder(settings.target)) {
      *error = "cannot make the folder " + settings.target;
      return nullptr;
    }
    unsigned cores = std::thread::hardware_concurrency();
    int workers = cores < 2 ? 1 : (cores > 4 ? 4 : static_cast<int>(cores));
    recorder->capacity_ = 2 * workers + 2;
    for (int i = 0; i < workers; ++i) recorder->workers_.emplace_back(&Recorder::write_pngs, recorder.get());
  }
  platform::set_swap_observer(&Recorder::on_swap, recorder.get());
  recorder->started_s_ = recorder->last_report_s_ = wall_seconds();
  return recorder;
}

Recorder::~Recorder() { finish(); }

void Recorder::on_swap(void* recorder, int width, int height, const uint8_t* rgb) {
  static_cast<Recorder*>(recorder)->capture(width, height, rgb);
}

// The frame being presented: the clock has not stepped past it yet.
void Recorder::capture(int width, int height, const uint8_t* rgb) {
  if (finished_) return;
  const int64_t number = static_cast<int64_t>(engine_clock_frames());
  const uint32_t engine_ms = engine_clock_since_start();
  if (!first_captured_) {
    first_captured_ = true;
    first_number_ = number;
    first_ms_ = engine_ms;
    sound_origin_ms_ = engine_clock_now();
  }
  last_number_ = number;
  last_ms_ = engine_ms;
  CapturedFrame done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!spare_.empty()) {
      done.pixels = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  if (rgb) {
    // Headless: the platform has just read the frame back; it is copied as it is.
    done.width = width;
    done.height = height;
    done.channels = 3;
    done.number = number;
    done.engine_ms = engine_ms;
    done.pixels.assign(rgb, rgb + static_cast<size_t>(width) * height * 3);
    hand_over(done);
    return;
  }
  if (grabber_.read(width, height, number, engine_ms, &done)) hand_over(done);
}

// Waits while the workers are `capacity_` frames behind: a recording never
// drops a frame.
void Recorder::hand_over(CapturedFrame& frame) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < capacity_ || failed_.load(); });
  if (failed_.load()) return;
  queue_.push_back(std::move(frame));
  changed_.notify_all();
}

void Recorder::note_failure(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failed_.load()) failure_ = what;
  failed_.store(true);
  changed_.notify_all();
}

bool Recorder::take_frame(CapturedFrame* frame) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
  if (queue_.empty()) return false;
  *frame = std::move(queue_.front());
  queue_.pop_front();
  changed_.notify_all();
  return true;
}

void Recorder::encode_video() {
  for (;;) {
    CapturedFrame frame;
    if (!take_frame(&frame)) return;
    if (!failed_.load()) {
      // The sound of this frame's span of the video: frames k / fps to
      // (k + 1) / fps, counted in whole frames of sound.
      const int64_t k = frame.number - first_number_;
      const int64_t from = k * MUSIC_RATE / settings_.fps;
      const int count = static_cast<int>((k + 1) * MUSIC_RATE / settings_.fps - from);
      std::vector<int16_t> sound(static_cast<size_t>(count) * 2, 0);
      if (settings_.sound) music().render(from, count, sound_origin_ms_, sound.data());
      if (encoder_->add_frame(frame) && encoder_->add_audio(sound.data(), count))
        written_.fetch_add(1);
      else
        note_failure(encoder_->error());
    }
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(frame.pixels));
  }
}

void Recorder::write_pngs() {
  for (;;) {
    CapturedFrame frame;
    if (!take_frame(&frame)) return;
    if (!failed_.load()) {
      std::string path = png_path(settings_.target, frame.number);
      if (write_png(path, frame))
        written_.fetch_add(1);
      else
        note_failure("could not write " + path);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(frame.pixels));
  }
}

bool Recorder::finish() {
  if (finished_) return !failed_.load();
  finished_ = true;
  platform::set_swap_observer(nullptr, nullptr);
  CapturedFrame frame;
  while (grabber_.complete_oldest(&frame)) {
    hand_over(frame);
    frame = CapturedFrame{};
  }
  grabber_.release();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  if (encoder_ && !failed_.load() && !encoder_->finish(settings_.width, settings_.height))
    note_failure(encoder_->error());

  print_progress(true);
  if (failed_.load()) {
    std::fprintf(stderr, "talpine: recording %s failed: %s\n", settings_.target.c_str(), failure_.c_str());
    return false;
  }
  const int64_t frames = written_.load();
  if (frames == 0) {
    std::fprintf(stderr, "talpine: recorded no frame into %s\n", settings_.target.c_str());
  } else {
    std::fprintf(stderr, "talpine: recorded %lld frames (frame %lld to %lld, engine time %u to %u ms) into %s\n",
                 static_cast<long long>(frames), static_cast<long long>(first_number_ + 1),
                 static_cast<long long>(last_number_ + 1), first_ms_, last_ms_, settings_.target.c_str());
  }
  return true;
}

void Recorder::report_progress() {
  double now = wall_seconds();
  // A terminal gets a line rewritten twice a second, a log one line every five.
  static const bool terminal = isatty(STDERR_FILENO) != 0;
  if (now - last_report_s_ < (terminal ? 0.5 : 5.0)) return;
  last_report_s_ = now;
  print_progress(false);
}

void Recorder::print_progress(bool last) {
  static const bool terminal = isatty(STDERR_FILENO) != 0;
  if (last) {
    if (terminal && written_.load() > 0) std::fputc('\n', stderr);
    return;
  }
  const int64_t frames = written_.load();
  const double elapsed = wall_seconds() - started_s_;
  const double rate = elapsed > 0 ? frames / elapsed : 0;
  char left[48] = "";
  if (settings_.expected_frames > 0 && rate > 0) {
    double seconds = (settings_.expected_frames - frames) / rate;
    std::snprintf(left, sizeof left, ", %.0f s left", seconds < 0 ? 0 : seconds);
  }
  std::fprintf(stderr, "%stalpine: recording %s: %lld frames written, %.1f frames/s%s%s", terminal ? "\r" : "",
               settings_.target.c_str(), static_cast<long long>(frames), rate, left, terminal ? "   " : "\n");
  std::fflush(stderr);
}
