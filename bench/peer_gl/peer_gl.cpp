// The benchmark's peer: a standalone minimal SDL2 + OpenGL 1.x program, the
// least a program needs to draw the benchmark's scenes. It shares no code with
// the engine: one vertex buffer for the mesh, drawn once per object under a
// translation, with the fixed-function state the scene needs (one light,
// a textured, lit material, the same projection and pixel format), so that it
// shows the same picture as the engine on the same scene.
//
//   talpine_peer_gl [--headless] [--no-vsync] [--size WxH] [--mesh FILE --texture FILE
//                   --grid COUNT COLUMNS SPACING DEPTH] [--warmup W] [--frames N]
//                   [--picture FILE]
//
// Draws W + N frames and prints, on standard error,
//   peer: N frames in T s, F fps
// for the N frames after the W warm-up frames. --picture writes the last frame
// as a binary PPM. Without a mesh it only clears (the start-up row).
//
// Mesh file (little-endian): "PEER", vertex count, index count (uint32 each),
// positions (3 floats a vertex), normals (3), texture coordinates (2), then
// 16-bit indices, 3 a triangle, counter-clockwise. Texture file: width, height
// (uint32 each), then RGB rows, bottom row first.
#include <SDL2/SDL.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
  bool headless = false, vsync = true;
  int width = 640, height = 480;
  std::string mesh, texture, picture;
  int count = 0, columns = 1;
  float spacing = 0, depth = 0;
  int warmup = 0, frames = 1;
};

bool read_file(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  std::fclose(file);
  return true;
}

uint32_t u32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

struct Mesh {
  std::vector<float> interleaved;  // position, normal, texture coordinate
  std::vector<uint16_t> indices;
};

bool load_mesh(const std::string& path, Mesh* mesh) {
  std::vector<uint8_t> bytes;
  if (!read_file(path, &bytes) || bytes.size() < 12 || std::memcmp(bytes.data(), "PEER", 4) != 0) return false;
  uint32_t vertices = u32(&bytes[4]), indices = u32(&bytes[8]);
  size_t need = 12 + vertices * 8 * sizeof(float) + indices * sizeof(uint16_t);
  if (bytes.size() < need) return false;
  const float* positions = reinterpret_cast<const float*>(&bytes[12]);
  const float* normals = positions + vertices * 3;
  const float* coords = normals + vertices * 3;
  for (uint32_t v = 0; v < vertices; ++v) {
    mesh->interleaved.insert(mesh->interleaved.end(), positions + v * 3, positions + v * 3 + 3);
    mesh->interleaved.insert(mesh->interleaved.end(), normals + v * 3, normals + v * 3 + 3);
    mesh->interleaved.insert(mesh->interleaved.end(), coords + v * 2, coords + v * 2 + 2);
  }
  const uint16_t* index = reinterpret_cast<const uint16_t*>(coords + vertices * 2);
  mesh->indices.assign(index, index + indices);
  return true;
}

GLuint load_texture(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!read_file(path, &bytes) || bytes.size() < 8) return 0;
  uint32_t width = u32(&bytes[0]), height = u32(&bytes[4]);
  if (bytes.size() < 8 + static_cast<size_t>(width) * height * 3) return 0;
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_RGB, GL_UNSIGNED_BYTE, &bytes[8]);
  return name;
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--headless") o->headless = true;
    else if (arg == "--no-vsync") o->vsync = false;
    else if (arg == "--size") std::sscanf(next(), "%dx%d", &o->width, &o->height);
    else if (arg == "--mesh") o->mesh = next();
    else if (arg == "--texture") o->texture = next();
    else if (arg == "--picture") o->picture = next();
    else if (arg == "--warmup") o->warmup = std::atoi(next());
    else if (arg == "--frames") o->frames = std::atoi(next());
    else if (arg == "--grid") {
      o->count = std::atoi(next());
      o->columns = std::atoi(next());
      o->spacing = static_cast<float>(std::atof(next()));
      o->depth = static_cast<float>(std::atof(next()));
    } else {
      std::fprintf(stderr, "peer: unknown option %s\n", arg.c_str());
      return false;
    }
  }
  return o->width > 0 && o->height > 0 && o->columns > 0 && o->frames > 0;
}

void write_picture(const std::string& path, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (int y = height - 1; y >= 0; --y) std::fwrite(&rgb[static_cast<size_t>(y) * width * 3], 1, width * 3, file);
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) return 2;
  if (o.headless) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "peer: %s\n", SDL_GetError());
    return 1;
  }

  // The engine's pixel format: RGBA8, depth 16, stencil 8, two samples.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 2);
  SDL_Window* window = SDL_CreateWindow("peer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, o.width, o.height,
                                        SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {  // no multisampled format: without
    if (window) SDL_DestroyWindow(window);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
    window = SDL_CreateWindow("peer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, o.width, o.height,
                              SDL_WINDOW_OPENGL);
    context = window ? SDL_GL_CreateContext(window) : nullptr;
  }
  if (!context) {
    std::fprintf(stderr, "peer: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetSwapInterval(o.vsync ? 1 : 0);

  auto proc = [](const char* name) { return SDL_GL_GetProcAddress(name); };
  auto gen_buffers = reinterpret_cast<PFNGLGENBUFFERSARBPROC>(proc("glGenBuffersARB"));
  auto bind_buffer = reinterpret_cast<PFNGLBINDBUFFERARBPROC>(proc("glBindBufferARB"));
  auto buffer_data = reinterpret_cast<PFNGLBUFFERDATAARBPROC>(proc("glBufferDataARB"));

  // State that stays for the whole run
  glViewport(0, 0, o.width, o.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(40.0, static_cast<double>(o.width) / o.height, 1.0, 8000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  glEnable(GL_NORMALIZE);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

  Mesh mesh;
  GLuint texture = 0;
  const bool scene = !o.mesh.empty();
  if (scene) {
    if (!load_mesh(o.mesh, &mesh) || !gen_buffers) {
      std::fprintf(stderr, "peer: cannot read %s\n", o.mesh.c_str());
      return 1;
    }
    texture = load_texture(o.texture);
    GLuint buffers[2];
    gen_buffers(2, buffers);
    bind_buffer(GL_ARRAY_BUFFER_ARB, buffers[0]);
    buffer_data(GL_ARRAY_BUFFER_ARB, mesh.interleaved.size() * sizeof(float), mesh.interleaved.data(),
                GL_STATIC_DRAW_ARB);
    bind_buffer(GL_ELEMENT_ARRAY_BUFFER_ARB, buffers[1]);
    buffer_data(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh.indices.size() * sizeof(uint16_t), mesh.indices.data(),
                GL_STATIC_DRAW_ARB);
    const GLsizei stride = 8 * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, nullptr);
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(3 * sizeof(float)));
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(6 * sizeof(float)));

    // One white point light above and in front, a lit white textured material
    const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1}, ambient[4] = {0.2f, 0.2f, 0.2f, 0};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT, GL_SPECULAR, black);
    glColor4fv(white);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, texture);
  }
  const GLfloat light_position[4] = {0.0f, 10.0f, -5.0f, 1.0f};
  const int rows = (o.count + o.columns - 1) / o.columns;
  const GLsizei index_count = static_cast<GLsizei>(mesh.indices.size());

  auto draw = [&] {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (!scene) return;
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);
    for (int i = 0; i < o.count; ++i) {
      glPushMatrix();
      glTranslatef((i % o.columns - (o.columns - 1) * 0.5f) * o.spacing,
                   (i / o.columns - (rows - 1) * 0.5f) * o.spacing, -o.depth);
      glDrawElements(GL_TRIANGLES, index_count, GL_UNSIGNED_SHORT, nullptr);
      glPopMatrix();
    }
  };

  using Clock = std::chrono::steady_clock;
  for (int frame = 0; frame < o.warmup; ++frame) {
    draw();
    SDL_GL_SwapWindow(window);
  }
  Clock::time_point start = Clock::now();
  for (int frame = 0; frame < o.frames; ++frame) {
    draw();
    SDL_GL_SwapWindow(window);
  }
  glFinish();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fprintf(stderr, "peer: %d frames in %.3f s, %.2f fps\n", o.frames, seconds, o.frames / seconds);

  // The picture: one more frame, read back before it is presented (untimed).
  if (!o.picture.empty()) {
    draw();
    write_picture(o.picture, o.width, o.height);
    SDL_GL_SwapWindow(window);
  }

  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
