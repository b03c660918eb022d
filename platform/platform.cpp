// SDL2 implementation of the platform layer (windowed and headless).
#include "platform/platform.h"

#include <SDL2/SDL.h>
#include <dirent.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>

#include <GL/gl.h>

#include "platform/gl_api.h"

namespace platform {

namespace {

bool headless_mode = false;
std::atomic<bool> print_messages{false};
Uint32 close_event_type = 0;  // our own event: a close request posted by the engine

// Headless only: the frame kept at the last swap (RGB, bottom row first).
std::vector<uint8_t> presented_rgb;
int presented_width = 0;
int presented_height = 0;
bool presented_pending = false;  // the drawing buffer still holds the frame, not yet copied
// Headless: the swap interval and the earliest time of the next swap.
int headless_swap_interval = 0;
std::chrono::steady_clock::time_point next_headless_refresh;

SwapObserver swap_observer = nullptr;
void* swap_observer_context = nullptr;
bool presenting = true;

SDL_Cursor* wait_cursor = nullptr;
SDL_Cursor* arrow_cursor = nullptr;

void set_gl_attributes(int samples) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 0 ? samples : 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, headless_mode ? -1 : 1);
}

}  // namespace

// ---- events ---------------------------------------------------------------

int virtual_key_from_sdl(int key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
  switch (key) {
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_ESCAPE: return 27;
    case SDLK_RETURN: return 13;
    case SDLK_SPACE: return 32;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 17;
    default: return 0;
  }
}

bool poll_event(Event* event) {
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  *event = Event{};
  if (close_event_type != 0 && e.type == close_event_type) {
    event->type = EventType::Close;
    return true;
  }
  switch (e.type) {
    case SDL_QUIT:
      event->type = EventType::Quit;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        event->type = EventType::SizeChanged;
        event->width = e.window.data1;
        event->height = e.window.data2;
      } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        event->type = EventType::Close;
      }
      break;
    case SDL_KEYDOWN:
      event->type = EventType::KeyDown;
      event->key = virtual_key_from_sdl(e.key.keysym.sym);
      event->repeat = e.key.repeat != 0;
      break;
    case SDL_MOUSEMOTION:
      event->type = EventType::MouseMove;
      event->x = static_cast<int16_t>(e.motion.x);
      event->y = static_cast<int16_t>(e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      if (e.button.button == SDL_BUTTON_LEFT)
        event->type = down ? EventType::LeftDown : EventType::LeftUp;
      else if (e.button.button == SDL_BUTTON_RIGHT)
        event->type = down ? EventType::RightDown : EventType::RightUp;
      event->x = static_cast<int16_t>(e.button.x);
      event->y = static_cast<int16_t>(e.button.y);
      break;
    }
    case SDL_MOUSEWHEEL:
      event->type = EventType::Wheel;
      event->wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      break;
    default:
      break;
  }
  return true;
}

void post_quit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

void post_close() {
  if (close_event_type == 0) return;
  SDL_Event e{};
  e.type = close_event_type;
  SDL_PushEvent(&e);
}

// ---- window and GL context ------------------------------------------------

static std::string video_failure;

bool init_video(bool headless) {
  headless_mode = headless;
  headless_swap_interval = 0;
  presented_pending = false;
  presented_width = presented_height = 0;
  video_failure.clear();
  if (headless) set_print_messages(true);
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (headless) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      // No offscreen driver: a hidden window on whatever display there is.
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "");
      if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    }
  } else if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return false;
  } else {
    // With no display SDL falls back to a driver without one: the program
    // would draw, at full speed, into nothing that anybody sees. Unless that
    // driver was asked for by name, refuse and say what would work.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    bool displayless = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (displayless && !(asked && *asked)) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      video_failure =
          "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set); "
          "use --headless to render without one";
      return false;
    }
  }
  if (close_event_type == 0) close_event_type = SDL_RegisterEvents(1);
  return true;
}

bool is_headless() { return headless_mode; }

const std::string& video_error() { return video_failure; }

void shutdown_video() {
  if (wait_cursor) SDL_FreeCursor(wait_cursor);
  if (arrow_cursor) SDL_FreeCursor(arrow_cursor);
  wait_cursor = arrow_cursor = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

Window create_window(const char* title, int x, int y, int width, int height, bool fullscreen,
                     PixelFormat* format) {
  Uint32 flags = SDL_WINDOW_OPENGL;
  if (headless_mode) {
    flags |= SDL_WINDOW_HIDDEN;
  } else {
    flags |= fullscreen ? (SDL_WINDOW_BORDERLESS | SDL_WINDOW_MAXIMIZED) : SDL_WINDOW_RESIZABLE;
  }
  set_gl_attributes(format->samples);
  SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
  if (!window && format->samples > 0) {
    // No multisampled format: start without multisampling.
    format->samples = 0;
    set_gl_attributes(0);
    window = SDL_CreateWindow(title, x, y, width, height, flags);
  }
  return window;
}

void destroy_window(Window window) {
  if (window) SDL_DestroyWindow(window);
}

void show_window(Window window) {
  if (window && !headless_mode) SDL_ShowWindow(window);
}

void set_window_title(const char* title) {
  if (SDL_Window* window = SDL_GL_GetCurrentWindow()) SDL_SetWindowTitle(window, title);
}

void raise_window(Window window) {
  if (window && !headless_mode) SDL_RaiseWindow(window);
}

void maximise_window(Window window) {
  if (window && !headless_mode) SDL_MaximizeWindow(window);
}

void window_rect(Window window, int* x, int* y, int* width, int* height) {
  SDL_GetWindowPosition(window, x, y);
  SDL_GetWindowSize(window, width, height);
}

void client_size(Window window, int* width, int* height) { SDL_GL_GetDrawableSize(window, width, height); }

GLContext create_context(Window window) {
  GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    // The multisampled format was accepted for the window but not the context.
    int samples = 0;
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
    if (samples > 0) {
      set_gl_attributes(0);
      context = SDL_GL_CreateContext(window);
    }
  }
  return context;
}

bool make_current(Window window, GLContext context) { return SDL_GL_MakeCurrent(window, context) == 0; }

void release_current() { SDL_GL_MakeCurrent(nullptr, nullptr); }

void delete_context(GLContext context) {
  if (context) SDL_GL_DeleteContext(context);
}

void* gl_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

bool set_swap_interval(int interval) {
  if (headless_mode) {
    headless_swap_interval = interval > 0 ? interval : 0;
    return true;
  }
  return SDL_GL_SetSwapInterval(interval) == 0;
}

// Headless: reads the drawing buffer, which holds the presented frame until
// something draws again, into the kept copy.
static void copy_presented_frame() {
  presented_pending = false;
  if (presented_width <= 0 || presented_height <= 0) return;
  presented_rgb.resize(static_cast<size_t>(presented_width) * presented_height * 3);
  GLint read_buffer = 0, pack_alignment = 0, framebuffer = 0;
  if (glBindFramebufferEXT_) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    if (framebuffer != 0) glBindFramebufferEXT_(GL_FRAMEBUFFER_EXT, 0);
  }
  glGetIntegerv(GL_READ_BUFFER, &read_buffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack_alignment);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, presented_width, presented_height, GL_RGB, GL_UNSIGNED_BYTE, presented_rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, pack_alignment);
  glReadBuffer(static_cast<GLenum>(read_buffer));
  if (framebuffer != 0) glBindFramebufferEXT_(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));
}

void keep_presented_frame() {
  if (headless_mode && presented_pending) copy_presented_frame();
}

void set_swap_observer(SwapObserver observer, void* context) {
  swap_observer = observer;
  swap_observer_context = context;
}

void set_presenting(bool on) { presenting = on; }

void swap_buffers(Window window) {
  if (!presenting) return;
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  if (headless_mode) {
    // The copy is taken when first asked for, or before drawing between
    // frames: reading back at every swap would make the program wait for each
    // frame's drawing to finish before it could send the next. A recording
    // asks for every frame, so it is taken now.
    presented_width = width;
    presented_height = height;
    presented_pending = width > 0 && height > 0;
    if (swap_observer) keep_presented_frame();
  }
  if (swap_observer && width > 0 && height > 0)
    swap_observer(swap_observer_context, width, height, headless_mode ? presented_rgb.data() : nullptr);
  SDL_GL_SwapWindow(window);
  if (headless_mode && headless_swap_interval > 0) {
    auto now = std::chrono::steady_clock::now();
    if (now < next_headless_refresh) {
      std::this_thread::sleep_until(next_headless_refresh);
      now = next_headless_refresh;
    }
    next_headless_refresh = now + std::chrono::microseconds(HEADLESS_REFRESH_US) * headless_swap_interval;
  }
}

bool read_presented_frame(int x, int y, int width, int height, std::vector<uint8_t>* rgb) {
  if (width <= 0 || height <= 0 || x < 0 || y < 0) return false;
  rgb->assign(static_cast<size_t>(width) * height * 3, 0);
  if (headless_mode) {
    keep_presented_frame();
    if (x + width > presented_width || y + height > presented_height) return false;
    for (int row = 0; row < height; ++row) {
      const uint8_t* src = presented_rgb.data() + ((static_cast<size_t>(y) + row) * presented_width + x) * 3;
      std::copy(src, src + static_cast<size_t>(width) * 3, rgb->data() + static_cast<size_t>(row) * width * 3);
    }
    return true;
  }
  GLint read_buffer = 0, pack_alignment = 0;
  glGetIntegerv(GL_READ_BUFFER, &read_buffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack_alignment);
  glReadBuffer(GL_FRONT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
  glPixelStorei(GL_PACK_ALIGNMENT, pack_alignment);
  glReadBuffer(static_cast<GLenum>(read_buffer));
  return true;
}

void presented_frame_size(int* width, int* height) {
  *width = presented_width;
  *height = presented_height;
}

// ---- dialogs and cursors -------------------------------------------------

void set_print_messages(bool print) { print_messages.store(print); }

void message_box(const char* caption, const char* text) {
  if (print_messages.load()) {
    // One record per message; the lock keeps records of two threads whole.
    static std::mutex output_lock;
    std::lock_guard<std::mutex> guard(output_lock);
    std::fprintf(stdout, "%s: %s\n", caption, text);
    std::fflush(stdout);
    return;
  }
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) != 0) {
    // No way to show a dialog: do not lose the message.
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
}

void set_wait_cursor() {
  if (headless_mode) return;
  if (!wait_cursor) wait_cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
  if (wait_cursor) SDL_SetCursor(wait_cursor);
}

void set_arrow_cursor() {
  if (headless_mode) return;
  if (!arrow_cursor) arrow_cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  if (arrow_cursor) SDL_SetCursor(arrow_cursor);
}

// ---- time ------------------------------------------------------------------

uint32_t ticks_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps like a 32-bit tick count
}

void sleep_us(int microseconds) {
  if (microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

void sleep_ms(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- files -----------------------------------------------------------------

std::string executable_path() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n > 0) {
    buffer[n] = '\0';
    return buffer;
  }
  if (char* base = SDL_GetBasePath()) {
    std::string path = std::string(base) + "talpine";
    SDL_free(base);
    return path;
  }
  return "./talpine";
}

std::string resolve_file(const std::string& path) {
  if (access(path.c_str(), F_OK) == 0) return path;
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return path;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return path;
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = (slash == std::string::npos ? std::string() : folder) + entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found.empty() ? path : found;
}

FILE* open_file(const std::string& path, const char* mode) { return std::fopen(resolve_file(path).c_str(), mode); }

}  // namespace platform
