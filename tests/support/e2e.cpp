#include "tests/support/e2e.h"

#include <FreeImage.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

DataFolder::DataFolder() {
  std::string pattern = (fs::temp_directory_path() / "talpine-data-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) std::abort();
  path_ = std::string(buffer.data()) + "/";
}

DataFolder::~DataFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void DataFolder::write(const std::string& name, const std::string& content) const {
  fs::path file = fs::path(path_) / name;
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << content;
}

void RunResult::pixel(int x, int y, int* r, int* g, int* b) const {
  size_t at = (static_cast<size_t>(y) * width + x) * 3;
  *r = rgb.at(at);
  *g = rgb.at(at + 1);
  *b = rgb.at(at + 2);
}

static std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool read_png_file(const std::string& path, RunResult* result) {
  FIBITMAP* image = FreeImage_Load(FIF_PNG, path.c_str(), PNG_DEFAULT);
  if (!image) return false;
  FIBITMAP* rgb = FreeImage_ConvertTo24Bits(image);
  FreeImage_Unload(image);
  if (!rgb) return false;
  result->width = static_cast<int>(FreeImage_GetWidth(rgb));
  result->height = static_cast<int>(FreeImage_GetHeight(rgb));
  result->rgb.resize(static_cast<size_t>(result->width) * result->height * 3);
  for (int y = 0; y < result->height; ++y) {
    // FreeImage rows are bottom-up and BGR.
    const BYTE* row = FreeImage_GetScanLine(rgb, result->height - 1 - y);
    for (int x = 0; x < result->width; ++x) {
      size_t at = (static_cast<size_t>(y) * result->width + x) * 3;
      result->rgb[at] = row[x * 3 + FI_RGBA_RED];
      result->rgb[at + 1] = row[x * 3 + FI_RGBA_GREEN];
      result->rgb[at + 2] = row[x * 3 + FI_RGBA_BLUE];
    }
  }
  FreeImage_Unload(rgb);
  return true;
}

static std::string screenshot_path(const DataFolder& data) { return data.path() + ".screenshot.png"; }

RunResult run_talpine(const DataFolder& data, const std::vector<std::string>& args, bool screenshot,
                      int timeout_seconds) {
  std::vector<std::string> command = {"--headless", "--data", data.path()};
  command.insert(command.end(), args.begin(), args.end());
  if (screenshot) {
    command.push_back("--screenshot");
    command.push_back(screenshot_path(data));
  }
  RunResult result = run_talpine_raw(data, command, {}, timeout_seconds);
  if (screenshot && fs::exists(screenshot_path(data))) result.has_screenshot = read_png_file(screenshot_path(data), &result);
  return result;
}

TalpineProcess::TalpineProcess(const DataFolder& data, const std::vector<std::string>& args,
                               const std::vector<std::string>& environment)
    : out_path_(data.path() + ".stdout"), err_path_(data.path() + ".stderr") {
  std::vector<std::string> argv_strings = {TALPINE_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(in, 0);
    // A shell that started the tests in the background may have left SIGINT
    // ignored; the program is to see it as a person's Ctrl+C.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    for (const std::string& variable : environment) putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
}

TalpineProcess::~TalpineProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string TalpineProcess::output_so_far() const { return read_file(out_path_); }
std::string TalpineProcess::errors_so_far() const { return read_file(err_path_); }

void TalpineProcess::send_signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

bool TalpineProcess::wait_for_output(const std::string& text, int timeout_seconds) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (output_so_far().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

RunResult TalpineProcess::finish(int timeout_seconds) {
  RunResult result;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (pid_ > 0) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      result.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
  if (!result.timed_out && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.output = read_file(out_path_);
  result.errors = read_file(err_path_);
  return result;
}

RunResult run_talpine_raw(const DataFolder& data, const std::vector<std::string>& args,
                          const std::vector<std::string>& environment, int timeout_seconds) {
  TalpineProcess process(data, args, environment);
  return process.finish(timeout_seconds);
}
