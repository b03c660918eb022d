// The one engine record and its lifecycle: construction, start-up, tear-down.
// The Engine belongs to the render (main) thread: the window procedure, the frame
// and the command dispatcher the frame runs read and write it. The script thread
// never touches it; it talks to the render thread only through the CommandRing.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "resources/texture_slot.h"

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

struct Engine {
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  void reset();     // every Construction default; run once by the constructor
  void teardown();  // releases every scene element and GL resource; safe to repeat

  // ---- input and window geometry ----
  int32_t input_state;           // last key-down code (>0), or held button: -1 left, -2 right; 0 released
  int16_t mouse_last_y, mouse_last_x;  // position last consumed by mouse-look
  int16_t mouse_y, mouse_x;      // current position in client pixels
  int16_t height, width;         // viewport size; the client size once the window exists
  int16_t window_y, window_x;    // top-left corner of the window on the screen

  // ---- frame pacing ----
  int32_t wantfps;      // wanted frames per second; 100 or more (or 0 and below): unpaced
  int32_t frame_delay;  // minimum milliseconds between frames, adapted each frame
  int32_t fps;          // frames counted in the last full second
  int32_t frame_count;  // frames counted in the current second

  // ---- settings and feature switches ----
  int32_t fullscreen;        // borderless maximised window
  int32_t max_texture_size;  // largest texture edge; 0: no cap
  float move_speed;          // camera step per key press, units
  float turn_speed;          // camera turn per key press or mouse pixel, degrees
  int32_t tfilter;           // texture filter mode 0..6
  uint8_t anisotropic;       // anisotropic filtering wanted (cleared when missing)
  int32_t anisotropy;        // anisotropy level; 0 when the extension is missing
  uint8_t trilinear;         // trilinear mip-mapping wanted
  uint8_t swap_interval;     // 1: wait for vertical retrace
  uint8_t multisample;       // multisampled pixel format wanted (cleared when unavailable)
  int32_t samples;           // samples per pixel; 0 without multisampling
  uint8_t fog_on;            // fog currently enabled
  uint8_t flare_quality;     // allows the higher lens-flare quality mode
  uint8_t target_pass;       // set while a render-to-texture pass redraws the scene
  float transp;              // alpha-test reference of the transparent pass; 0: off
  uint8_t keybd;             // keyboard and mouse drive the camera
  int32_t geometry;          // debug display mode of the geometry pass; 0: off
  int32_t collide;           // camera collision with objects on key movement
  int32_t focus;             // mouse-look: -2 orbit, -1 camera, 0..198 that object
  int32_t key_up, key_dn, key_lf, key_rt;  // Win32 virtual-key codes of the camera keys
  int32_t key_shot;          // screenshot key (G)
  int32_t key_quit;          // close key (Escape)
  uint8_t vertical;          // forward/backward keys also move along the view's pitch
  platform::Window hwnd;     // the window

  // ---- scene element tables: a script's element number indexes them ----
  cRadio* radio;
  cObject* objects[MAX_ELEMENTS];
  cShadow* shadows[MAX_ELEMENTS];
  cFlare* flares[MAX_ELEMENTS];
  cCSG* csgs[MAX_ELEMENTS];
  cLight* lights[MAX_LIGHTS];
  cWater* waters[MAX_ELEMENTS];
  cFluide* fluides[MAX_ELEMENTS];
  cTexgfx* texgfxs[MAX_ELEMENTS];
  cParticle* particles[MAX_ELEMENTS];
  cSkybox* skybox;
  cBlur* blur;
  cGlow* glow;
  cBloom* bloom;
  ScriptRunner* script_runner;
  cDeform* deforms[MAX_ELEMENTS];
  cFramer* framers[MAX_ELEMENTS];

  TextureSlot textures[MAX_TEXTURES];

  // ---- view ----
  float fov;          // vertical field of view, degrees
  float scale[3];     // scene scale applied before the camera rotation
  float cam_pos[3];   // camera translation, applied unchanged: the camera stands at -cam_pos
  float cam_rot[3];   // camera rotation about x, y, z, degrees
  float spin_pitch, spin_yaw, spin_radius;  // orbit of setspin/spincam

  // ---- paths, each with a trailing separator ----
  char data_path[PATH_SIZE];
  char exe_path[PATH_SIZE];

  // ---- timing, engine milliseconds ----
  uint32_t now;         // taken at the start of each frame
  uint32_t fps_time;    // last frames-per-second update
  uint32_t frame_time;  // last drawn frame

  // ---- rendering state ----
  int32_t draw_mode;        // GL_TRIANGLES (4) or GL_LINES (1) for object faces
  float frustum[6][4];      // view-frustum planes, recomputed each frame
  float fog_start, fog_end; // linear fog range; fog is on exactly when they differ
  float fog_color[4];       // fog and clear colour
  float far_clip, near_clip;
  int32_t viewport[4];      // read back from GL after every projection set-up
  uint8_t running;          // the main loop runs while set
  float modelview[16];      // captured right after the frame's camera transform

  // ---- element counts: one past the highest occupied slot of each table ----
  int32_t object_count;
  int32_t shadow_count;
  int32_t csg_count;
  int32_t light_count;
  int32_t flare_count;
  int32_t water_count;
  int32_t fluide_count;
  int32_t texgfx_count;
  int32_t particle_count;
  int32_t deform_count;
  int32_t framer_count;

  // ---- remaining handles and resources ----
  platform::GLContext hglrc;   // the rendering context
  int32_t font_texture;        // texture slot of the font image; 0: none
  FontChar* font_chars;        // heap blocks read from the font's metrics file
  FontKerning* font_kerning;
  int32_t font_char_count, font_kerning_count;
  float fade_color[4];         // fade red, green, blue and the current alpha
  uint32_t fade_next;          // tick after which the next fade step may be taken
  float fade_step;             // alpha added per fade step
  uint8_t fade_on;             // a fade is running
  platform::Window hdc;        // the window's drawable (SDL has no separate device context)
};

// The single engine; null before start-up and after shut-down.
extern Engine* g_engine;

// Creates and starts the engine; false when one already exists or when the
// window or GL context cannot be created.
bool start_engine();
// Tears the engine down and destroys it; does nothing when none exists.
void stop_engine();
// Fills exe_path and data_path from the executable's own file name.
void find_program_paths(Engine* engine, const char* executable);

// Raises a table's count to slot + 1 when it is lower (element creation).
inline void raise_count(int32_t* count, int slot) {
  if (*count < slot + 1) *count = slot + 1;
}
