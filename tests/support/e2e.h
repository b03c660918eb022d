// End-to-end helper: writes a data folder, runs build/talpine --headless on it,
// and returns what it printed, its exit status and the screenshot's pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A temporary data folder, removed with everything in it when the object dies.
class DataFolder {
 public:
  DataFolder();
  ~DataFolder();
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  // Writes a file (binary, exactly the bytes given); name may contain subfolders.
  void write(const std::string& name, const std::string& content) const;
  const std::string& path() const { return path_; }  // with trailing '/'

 private:
  std::string path_;
};

struct RunResult {
  int exit_status = -1;          // the process's exit status; -1 when it did not exit normally
  bool timed_out = false;
  std::string output;            // standard output (the headless message records)
  std::string errors;            // standard error
  bool has_screenshot = false;   // --screenshot was given and the file was written
  int width = 0, height = 0;     // screenshot size
  std::vector<uint8_t> rgb;      // screenshot pixels, RGB, top row first

  // Pixel (x, y) counted from the top-left corner, as r, g, b.
  void pixel(int x, int y, int* r, int* g, int* b) const;
};

// Reads a PNG into result's width, height and rgb; false when it is not one.
bool read_png_file(const std::string& path, RunResult* result);

// Runs `talpine --headless --data FOLDER ARGS...` with DISPLAY unset. When
// `screenshot` is true, adds --screenshot into the folder and reads it back.
RunResult run_talpine(const DataFolder& data, const std::vector<std::string>& args,
                      bool screenshot = false, int timeout_seconds = 120);

// A talpine process left running while the test changes its data folder.
// Standard output and error are gathered in files inside the folder.
class TalpineProcess {
 public:
  // Starts `talpine ARGS...` (the whole command line) with DISPLAY unset.
  TalpineProcess(const DataFolder& data, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment = {});
  ~TalpineProcess();  // kills it if still running
  TalpineProcess(const TalpineProcess&) = delete;
  TalpineProcess& operator=(const TalpineProcess&) = delete;

  std::string output_so_far() const;
  std::string errors_so_far() const;
  void send_signal(int number);  // SIGINT, SIGTERM, ...
  // Waits until standard output holds `text` (true) or the time is up (false).
  bool wait_for_output(const std::string& text, int timeout_seconds = 60) const;
  // Waits for the end, killing it after the timeout, and gathers the result.
  RunResult finish(int timeout_seconds = 60);

 private:
  int pid_ = -1;
  std::string out_path_, err_path_;
};

// The same with extra environment variables ("NAME=value") for the child, and
// without adding --headless and --data: `args` is the whole command line.
RunResult run_talpine_raw(const DataFolder& data, const std::vector<std::string>& args,
                          const std::vector<std::string>& environment, int timeout_seconds = 120);
