// The view set-up: projection, viewport and fog, and render_view, the one way
// to draw the scene from an eye (the window's camera, a render target's camera,
// a buffer pass, a baker's sample view). Render thread only.
#pragma once

struct Engine;

// Perspective projection; near below 1 becomes 1, fov 0 becomes 60.
void set_projection(float near_clip, float far_clip, float fov);

// Projection with the current clip distances, then fog and the clear colour.
void apply_fog();

// Viewport of w x h (both -1: the client area), projection with the aspect
// (0: width / height), viewport read back.
void set_viewport(double aspect, int w, int h);

// A view's field of view that keeps the scene's.
constexpr float VIEW_SCENE_FOV = -1.0f;

// One view of the scene.
struct View {
  // The camera as the engine stores it (the camera stands at -eye; angles about
  // x, y, z in degrees). Copied into the engine's camera for the pass.
  float eye[3] = {};
  float angles[3] = {};
  // When set: gluLookAt from eye toward this point, y up, instead of the angles
  // (the baker's sample views, which also store the point as the camera's angles).
  const float* look_at = nullptr;
  bool scene_scale = false;   // the scene's scale before the rotation (the window's own view)
  int width = 0, height = 0;  // a pass at this size (the engine's size meanwhile); 0: the window's
  double aspect = 0.0;        // with a size: the projection's aspect; 0: width / height
  float fov = VIEW_SCENE_FOV; // a field of view of its own (0 becomes 60, as for the scene)
  bool clear = true;          // colour, depth and stencil cleared first
  bool target_pass = false;   // a redraw of the scene into a texture
  bool keep_camera = false;   // the engine keeps the view's camera afterwards (the baker's calc)
};

// The window's camera: the engine's own camera with the scene scale, no clear.
View window_view(const Engine* engine);

// What a pass draws under the view's camera.
using ViewDraw = void (*)(Engine* engine);

// Sets the view up (camera, size, projection), clears, loads the camera
// transform, draws (`draw`, or the
// installed scene drawer when null), runs `then` while the view's viewport is
// still current (copies into textures), and puts back the engine's camera,
// size and projection as they were.
void render_view(Engine* engine, const View& view, ViewDraw draw = nullptr, ViewDraw then = nullptr);

// The scene drawer (the scene pass and the transparent pass), installed by the
// frame layer so that the passes that draw the scene again need not know it.
void set_scene_drawer(ViewDraw draw);
void draw_scene(Engine* engine);
