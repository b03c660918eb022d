// Recording the presented frames: into a video file (.mp4, .mkv, .webm) with
// the scene's music, or as numbered PNG files in a folder. The render thread
// only starts each frame's read-back (media/frame_grabber) when it is
// presented and hands the finished pixels over; conversion, encoding, muxing
// and PNG compression run on worker threads. Headless, the copy the platform
// keeps of every presented frame is taken instead of reading it back twice.
// Progress goes to standard error.
//
// Start, finish, progress and the frame hand-over belong to the render thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/frame_grabber.h"

class VideoEncoder;

struct RecordSettings {
  std::string target;            // a folder for PNG files, or a video file
  int fps = 60;                  // the video's rate
  int crf = -1;                  // the video's quality; -1: the codec's default here
  bool sound = true;             // the music is muxed in (engine time runs at the video's rate)
  int width = 0, height = 0;     // the window: the size of a video that got no frame
  int64_t expected_frames = -1;  // frames the run will record, for the time left; -1: not known
};

class Recorder {
 public:
  // Creates the folder or the video file and starts the workers; from then on
  // every presented frame is recorded. Null, with `error`, when it cannot.
  static std::unique_ptr<Recorder> start(const RecordSettings& settings, std::string* error);
  ~Recorder();  // finish(), when not done yet
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Reads back the frames still in flight, waits for the workers and closes
  // the file; prints what was recorded. False when something was not written.
  bool finish();

  // A worker could not write: the run should end (with a failure).
  bool failed() const { return failed_.load(); }
  // At most about once a second: frames written, their rate, the time left.
  void report_progress();
  int64_t frames_written() const { return written_.load(); }

 private:
  explicit Recorder(const RecordSettings& settings);
  static void on_swap(void* recorder, int width, int height, const uint8_t* rgb);
  void capture(int width, int height, const uint8_t* rgb);
  void hand_over(CapturedFrame& frame);
  // A worker's next frame; false once the recorder closes and none is left.
  bool take_frame(CapturedFrame* frame);
  void encode_video();
  void write_pngs();
  void note_failure(const std::string& what);
  void print_progress(bool last);

  RecordSettings settings_;
  bool video_ = false;
  FrameGrabber grabber_;
  std::unique_ptr<VideoEncoder> encoder_;

  // Frames between the render thread and the workers, and their spare buffers.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<CapturedFrame> queue_;
  std::vector<std::vector<uint8_t>> spare_;
  size_t capacity_ = 6;
  bool closing_ = false;
  std::vector<std::thread> workers_;

  bool finished_ = false;
  bool first_captured_ = false;
  int64_t first_number_ = 0, last_number_ = 0;
  uint32_t first_ms_ = 0, last_ms_ = 0;
  uint32_t sound_origin_ms_ = 0;  // engine time of the video's first frame
  std::atomic<int64_t> written_{0};
  std::atomic<bool> failed_{false};
  std::string failure_;           // under mutex_
  double started_s_ = 0, last_report_s_ = 0;
};
