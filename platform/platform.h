// The platform layer: the short list of calls the engine makes to the operating
// system, built on SDL2. The windowed and the headless (offscreen) variants
// implement the same list; headless is chosen once, before the window opens.
// Window, context, event and swap calls belong to the main thread; the clock,
// sleep, message boxes, the quit request and file opening are safe from any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct SDL_Window;

namespace platform {

using Window = SDL_Window*;
using GLContext = void*;

// ---- events ---------------------------------------------------------------

// The engine's own event record: what the window procedure receives.
enum class EventType {
  None,
  SizeChanged,  // width, height: new client size
  Close,        // the window's close request
  KeyDown,      // key: Win32 virtual-key number; repeat: auto-repeated press
  MouseMove,    // x, y: client position
  LeftDown,
  LeftUp,
  RightDown,
  RightUp,
  Wheel,        // wheel: positive forward, negative backward
  Quit,         // the quit request (ends the main loop)
};

struct Event {
  EventType type = EventType::None;
  int key = 0;
  bool repeat = false;
  int16_t x = 0, y = 0;
  int wheel = 0;
  int width = 0, height = 0;
};

// Takes one waiting event; false when none is waiting. Events that mean nothing
// to the engine are consumed and reported as EventType::None.
bool poll_event(Event* event);

// Posts the quit request; safe from any thread.
void post_quit();
// Posts a close request for the window, as the window manager would.
void post_close();

// SDL keycode to the Win32 virtual-key number scripts use (0 when unmapped).
int virtual_key_from_sdl(int sdl_keycode);

// ---- window and GL context ------------------------------------------------

// Chooses the video driver. Headless: SDL's offscreen driver (EGL, no display
// server), falling back to a hidden window only when that driver is missing.
// Without headless, refuses (false) when no display is there to show a window.
bool init_video(bool headless);
bool is_headless();
// Why init_video last failed, when it knows; empty otherwise.
const std::string& video_error();
void shutdown_video();

struct PixelFormat {
  int samples = 2;  // samples per pixel of the one multisample buffer; 0: none
};

// Opens a GL-capable window with RGBA 8/8/8/8, depth 16, stencil 8, double
// buffer and, when samples > 0, one multisample buffer. When no multisampled
// format exists, retries once without and sets format->samples to 0.
Window create_window(const char* title, int x, int y, int width, int height,
                     bool fullscreen, PixelFormat* format);
void destroy_window(Window window);
void show_window(Window window);
void set_window_title(const char* title);  // of the one engine window
void raise_window(Window window);  // foreground and keyboard focus
void maximise_window(Window window);
void window_rect(Window window, int* x, int* y, int* width, int* height);
void client_size(Window window, int* width, int* height);

// A compatibility (legacy) profile context for the window.
GLContext create_context(Window window);
bool make_current(Window window, GLContext context);
void release_current();
void delete_context(GLContext context);

void* gl_proc_address(const char* name);
// Swaps wait for `interval` display refreshes (0: never). Headless there is no
// display, so the platform stands in for one refreshing 60 times a second.
bool set_swap_interval(int interval);

// The refresh a headless swap interval of 1 waits for, microseconds (60 Hz).
constexpr int HEADLESS_REFRESH_US = 16667;

// Presents the back buffer. Headless, the offscreen surface is single-buffered:
// the frame stays in it until something draws again, and the platform keeps a
// copy of it when it is first read, when keep_presented_frame is called or,
// with a swap observer, at once. Before presenting, the swap observer (when
// set) sees the finished frame. Then, with a swap interval, headless waits
// until the interval's refreshes have passed since the last swap: the render
// loop leaves the processor to the script thread as it does in a window. A
// swap that comes late does not wait.
void swap_buffers(Window window);

// Headless: takes the copy of the presented frame now. Whatever draws into the
// window's buffer between a swap and the next frame (the full-screen bloom's
// after-swap pass, the lightmap baker) calls it first, so that the drawing
// never shows in a screenshot. Nothing in a window.
void keep_presented_frame();

// Called by swap_buffers with the finished frame still in the back buffer (and
// the context current), before it is presented: the recorder's read-back.
// Headless, `rgb` is the copy of the frame just kept (RGB rows, bottom row
// first, no padding), which a second read-back would only repeat; windowed it
// is null.
using SwapObserver = void (*)(void* context, int width, int height, const uint8_t* rgb);
void set_swap_observer(SwapObserver observer, void* context);  // null: none

// While off, swap_buffers presents nothing, keeps no copy and calls no
// observer: frames drawn only for what later frames take from them.
void set_presenting(bool on);

// The last presented frame as tightly packed RGB rows, bottom row first.
// Headless: the copy kept at the last swap. Windowed: read from the front buffer.
// False when there is no frame of that size to give.
bool read_presented_frame(int x, int y, int width, int height, std::vector<uint8_t>* rgb);
// Size of the last presented frame (0, 0 before the first swap).
void presented_frame_size(int* width, int* height);

// ---- dialogs and cursors -------------------------------------------------

// A message box with an OK button and no owner window. Headless: written to
// standard output as "CAPTION: TEXT\n" and dismissed at once.
void message_box(const char* caption, const char* text);
// Whether message boxes are printed instead of shown.
void set_print_messages(bool print);

void set_wait_cursor();
void set_arrow_cursor();

// ---- time ------------------------------------------------------------------

// Monotonic milliseconds, wrapped to 32 bits.
uint32_t ticks_ms();
void sleep_ms(int milliseconds);
void sleep_us(int microseconds);

// ---- files -----------------------------------------------------------------

// Full file name of the running executable.
std::string executable_path();

// The exact name when it exists; otherwise a case-insensitive match of the file
// name inside its folder; otherwise the name as given (so opening it fails).
std::string resolve_file(const std::string& path);

// Opens a file through resolve_file. Every data-folder file goes through here.
FILE* open_file(const std::string& path, const char* mode);

}  // namespace platform
