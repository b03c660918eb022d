// The one engine record: what each part of the engine owns, as sub-records with
// their start-up values, and its lifecycle. The Engine belongs to the render
// (main) thread: the window procedure, the frame and the command dispatcher the
// frame runs read and write it. The script thread never touches it; it talks to
// the render thread only through the CommandRing.
#pragma once

#include <cstdint>

#include "core/element_table.h"
#include "core/texture_slot.h"
#include "platform/platform.h"

// Capacities of the element tables. 199 is exact (indices 0..198), not 200.
constexpr int MAX_ELEMENTS = 199;
constexpr int MAX_LIGHTS = 8;
constexpr int PATH_SIZE = 260;

// Scene element classes, named as scripts name them; each lives in its folder.
struct cObject;
struct cShadow;
struct cFlare;
struct cCSG;
struct cLight;
struct cWater;
struct cFluide;
struct cTexgfx;
struct cParticle;
struct cSkybox;
struct cBlur;
struct cGlow;
struct cBloom;
struct cRadio;
struct cDeform;
struct cFramer;
class ScriptRunner;

// Font records as read from the font's metrics file (the font owns the layout).
struct FontChar;
struct FontKerning;

// The window and its GL context. Written by core/window (open, close) and by the
// window procedure (moves); the wanted multisampling is cleared when unavailable.
struct WindowState {
  platform::Window hwnd = nullptr;        // the window
  platform::GLContext hglrc = nullptr;    // the rendering context
  int16_t window_y = 140, window_x = 360; // top-left corner of the window on the screen
  int32_t fullscreen = 0;                 // borderless maximised window
  uint8_t multisample = 1;                // multisampled pixel format wanted (cleared when unavailable)
  int32_t samples = 2;                    // samples per pixel; 0 without multisampling
  uint8_t swap_interval = 1;              // 1: wait for vertical retrace
};

// Rendering settings. Written by the scene commands; the extension probe only
// ever clears a switch.
struct RenderSettings {
  int32_t max_texture_size = 0;  // largest texture edge; 0: no cap
  int32_t tfilter = 6;           // texture filter mode 0..6
  uint8_t anisotropic = 1;       // anisotropic filtering wanted (cleared when missing)
  int32_t anisotropy = 2;        // anisotropy level; 0 when the extension is missing
  uint8_t trilinear = 1;         // trilinear mip-mapping wanted
  uint8_t flare_quality = 1;     // allows the higher lens-flare quality mode
  float transp = 0.0f;           // alpha-test reference of the transparent pass; 0: off
  int32_t geometry = 0;          // debug display mode of the geometry pass; 0: off
  int32_t draw_mode = 4;         // GL_TRIANGLES (4) or GL_LINES (1) for object faces
};

// The view: viewport, projection and camera. Written by the view set-up
// (core/view), the scene and camera commands, input and keyframed cameras.
struct ViewState {
  int16_t height = 480, width = 640;  // viewport size; the client size once the window exists
  float fov = 40.0f;                  // vertical field of view, degrees
  float far_clip = 8000.0f, near_clip = 1.0f;
  int32_t viewport[4] = {};           // read back from GL after every projection set-up
  float scale[3] = {1, 1, 1};         // scene scale applied before the camera rotation
  float cam_pos[3] = {};              // camera translation, applied unchanged: the camera stands at -cam_pos
  float cam_rot[3] = {};              // camera rotation about x, y, z, degrees
  float spin_pitch = 0.0f, spin_yaw = 90.0f, spin_radius = 0.0f;  // orbit of setspin/spincam
  float frustum[6][4] = {};           // view-frustum planes, recomputed each frame
  uint8_t target_pass = 0;            // set while a render-to-texture pass redraws the scene
  // Raised by every projection or viewport change: objects whose visibility
  // was tested under an older serial test it again.
  uint32_t serial = 1;
};

// Fog (also the clear colour) and the full-screen fade. Written by the scene
// commands; the fade steps itself each drawn frame.
struct FogAndFade {
  uint8_t fog_on = 0;                  // fog currently enabled
  float fog_start = 1.0f, fog_end = 1.0f;  // linear fog range; fog is on exactly when they differ
  float fog_color[4] = {0, 0, 0, 1};   // fog and clear colour
  float fade_color[4] = {1, 1, 1, 1};  // fade red, green, blue and the current alpha
  uint32_t fade_next = 0;              // tick after which the next fade step may be taken
  float fade_step = 0.0f;              // alpha added per fade step
  uint8_t fade_on = 0;                 // a fade is running
};

// Keyboard and mouse. Written by the window procedure; the key bindings and
// switches by the scene commands.
struct InputState {
  int32_t input_state = 0;             // last key-down code (>0), or held button: -1 left, -2 right; 0 released
  int16_t mouse_last_y = 0, mouse_last_x = 0;  // position last consumed by mouse-look
  int16_t mouse_y = 0, mouse_x = 0;    // current position in client pixels
  uint8_t keybd = 1;                   // keyboard and mouse drive the camera
  float move_speed = 10.0f;            // camera step per key press, units
  float turn_speed = 1.0f;             // camera turn per key press or mouse pixel, degrees
  int32_t collide = 0;                 // camera collision with objects on key movement
  int32_t focus = -1;                  // mouse-look: -2 orbit, -1 camera, 0..198 that object
  int32_t key_up = 40;                 // the Down arrow: key_up moves backward
  int32_t key_dn = 38;                 // the Up arrow: key_dn moves forward
  int32_t key_lf = 37, key_rt = 39;    // Win32 virtual-key codes of the camera keys
  int32_t key_shot = 71;               // screenshot key (G)
  int32_t key_quit = 27;               // close key (Escape)
  uint8_t vertical = 1;                // forward/backward keys also move along the view's pitch
};

// Frame pacing and timing, engine milliseconds. Written by the frame loop;
// wantfps by the scene commands.
struct Pacing {
  uint8_t running = 0;      // the main loop runs while set
  int32_t wantfps = 1000;   // wanted frames per second; 100 or more (or 0 and below): unpaced
  int32_t frame_delay = 0;  // minimum milliseconds between frames, adapted each frame
  int32_t fps = 0;          // frames counted in the last full second
  int32_t frame_count = 0;  // frames counted in the current second
  uint32_t now = 0;         // taken at the start of each frame
  uint32_t fps_time = 0;    // last frames-per-second update
  uint32_t frame_time = 0;  // last drawn frame
};

// The texture table and the font. Written by the texture manager and the font.
struct Resources {
  TextureSlot textures[MAX_TEXTURES];
  int32_t font_texture = 0;          // texture slot of the font image; 0: none
  FontChar* font_chars = nullptr;    // heap blocks read from the font's metrics file
  FontKerning* font_kerning = nullptr;
  int32_t font_char_count = 0, font_kerning_count = 0;
};

// The scene: every element table (a script's element number indexes them), the
// single elements and the script runner. Written by the element classes'
// `new` and `delete`, destroyScene and the loaders.
struct SceneTables {
  ElementTable<cObject, MAX_ELEMENTS> objects;
  ElementTable<cShadow, MAX_ELEMENTS> shadows;
  ElementTable<cFlare, MAX_ELEMENTS> flares;
  ElementTable<cCSG, MAX_ELEMENTS> csgs;
  ElementTable<cLight, MAX_LIGHTS> lights;
  ElementTable<cWater, MAX_ELEMENTS> waters;
  ElementTable<cFluide, MAX_ELEMENTS> fluides;
  ElementTable<cTexgfx, MAX_ELEMENTS> texgfxs;
  ElementTable<cParticle, MAX_ELEMENTS> particles;
  ElementTable<cDeform, MAX_ELEMENTS> deforms;
  ElementTable<cFramer, MAX_ELEMENTS> framers;
  cRadio* radio = nullptr;
  cSkybox* skybox = nullptr;
  cBlur* blur = nullptr;
  cGlow* glow = nullptr;
  cBloom* bloom = nullptr;
  ScriptRunner* script_runner = nullptr;
};

// Folders, each with a trailing separator. Written once at start-up.
struct Paths {
  char data_path[PATH_SIZE] = "/";
  char exe_path[PATH_SIZE] = "/";
};

struct Engine {
  Engine();
  ~Engine();  // releases the scene (through the installed releaser) and the context
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  WindowState window;
  RenderSettings settings;
  ViewState view;
  FogAndFade fog;
  InputState input;
  Pacing pacing;
  Resources resources;
  SceneTables scene;
  Paths paths;
};

// The single engine; null before start-up and after shut-down.
extern Engine* g_engine;

// Fills exe_path and data_path from the executable's own file name.
void find_program_paths(Engine* engine, const char* executable);
// Copies `path` into a path field, cut (never overrun) when too long.
void set_path(char (&field)[PATH_SIZE], const char* path);

// What releases every scene element and GL resource of an engine; installed by
// the layer that knows the element classes, so that an Engine going out of
// scope leaves nothing behind. Null: nothing to release.
using SceneReleaser = void (*)(Engine* engine);
void set_scene_releaser(SceneReleaser releaser);
void release_engine(Engine* engine);
