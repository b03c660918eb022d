// The particle pass, a component in this process's headless context (Mesa's
// llvmpipe here), against the same quads drawn from one vertex array. Each
// round times the pass and then its reference, so both see the same machine
// load. (Whole frames are measured in the running program, bench_program.cpp.)
#include "bench/bench_particles.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/results.h"
#include "core/engine.h"
#include "core/exit_status.h"
#include "core/launch_options.h"
#include "effects/particles.h"
#include "frame/engine_start.h"
#include "mesh/object_render.h"
#include "platform/gl_api.h"
#include "resources/texture_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double seconds_per_call(int calls, F&& f) {
  auto start = Clock::now();
  for (int i = 0; i < calls; ++i) f();
  return std::chrono::duration<double>(Clock::now() - start).count() / calls;
}

void particle_command(Engine* engine, int slot, const char* name, float a = 0, float b = 0, float c = 0) {
  int32_t result;
  particle_class.command(engine, name, CommandArgs{static_cast<float>(slot), a, b, c, 0}, &result);
}

void particle_scene(Engine* engine, int texture) {
  for (int s = 0; s < 20; ++s) {
    int slot = particle_class.create(engine, CommandArgs{-1, 0, 0, 0, 0});
    particle_command(engine, slot, "total", 1000);
    particle_command(engine, slot, "volume", 2, 2, 2);
    particle_command(engine, slot, "position", (s % 5 - 2) * 5.0f, (s / 5 - 1.5f) * 5.0f, 30);
    particle_command(engine, slot, "size", 0.15f);
    particle_command(engine, slot, "life", 1000);
    particle_command(engine, slot, "texture", static_cast<float>(texture));
    particle_command(engine, slot, "rgb1", 0.8f, 0.5f, 0.2f);
    particle_command(engine, slot, "active", 1);
  }
}

// A cleared back buffer and the particle pass's state: unlit, textured,
// additive, no depth writes.
void begin_additive_pass() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDepthMask(GL_FALSE);
}

// The particle pass with its state, into the back buffer, finished.
void particle_pass(Engine* engine) {
  begin_additive_pass();
  computeFrustum(engine);
  drawParticles(engine);
  glDepthMask(GL_TRUE);
  glFinish();
}

// The same quads (positions, colours, texture corners) from one vertex array.
void particle_array(Engine* engine, std::vector<float>* vertices) {
  begin_additive_pass();
  vertices->clear();
  const float corner[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  const float tex[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  for (int s = 0; s < engine->scene.particles.count; ++s) {
    const cParticle* system = engine->scene.particles[s];
    if (!system) continue;
    glBindTexture(GL_TEXTURE_2D, engine->resources.textures[system->texture].glName);
    for (int k = 0; k < system->total; ++k) {
      const Particle& p = system->particles[k];
      for (int c = 0; c < 4; ++c) {
        vertices->insert(vertices->end(), {tex[c][0], tex[c][1]});
        vertices->insert(vertices->end(), p.colour, p.colour + 4);
        vertices->insert(vertices->end(), {p.position[0] + corner[c][0] * system->size,
                                           p.position[1] + corner[c][1] * system->size, p.position[2]});
      }
    }
  }
  glInterleavedArrays(GL_T2F_C4F_N3F_V3F, 0, nullptr);  // resets the client arrays
  glDisableClientState(GL_NORMAL_ARRAY);
  const GLsizei stride = 9 * sizeof(float);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, stride, vertices->data());
  glColorPointer(4, GL_FLOAT, stride, vertices->data() + 2);
  glVertexPointer(3, GL_FLOAT, stride, vertices->data() + 6);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices->size() / 9));
  glDisableClientState(GL_COLOR_ARRAY);
  glDepthMask(GL_TRUE);
  glFinish();
}

// The drawing buffer, where the particle passes leave their picture.
std::vector<uint8_t> drawn(Engine* engine) {
  std::vector<uint8_t> rgb(static_cast<size_t>(engine->view.width) * engine->view.height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, engine->view.width, engine->view.height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

void particle_pair(Engine* engine, int rounds, int calls) {
  // Every pool slot in play at once (the pool window would need 500 passes to
  // open): the first pass emits them all and its tick is the last one due, so
  // every later call draws the same quads.
  engine->pacing.now = 1000000;
  for (int s = 0; s < engine->scene.particles.count; ++s)
    if (cParticle* system = engine->scene.particles[s]) system->emitted = system->total;
  for (int i = 0; i < 3; ++i) particle_pass(engine);
  std::vector<float> vertices;
  std::vector<uint8_t> ours_picture = drawn(engine);
  particle_array(engine, &vertices);
  std::vector<uint8_t> reference_picture = drawn(engine);
  std::vector<double> ours, reference;
  for (int r = 0; r < rounds; ++r) {
    ours.push_back(seconds_per_call(calls, [&] { particle_pass(engine); }));
    reference.push_back(seconds_per_call(calls, [&] { particle_array(engine, &vertices); }));
  }
  Row row;
  row.figure = "particles: 20 systems x 1,000, a pass";
  row.reference = "same quads, one vertex array";
  row.figure_runs = ours;
  row.reference_runs = reference;
  row.scale = 1e3;
  row.target = Target::ratio(1.2);
  add_row(row);
  char note[160];
  std::snprintf(note, sizeof note, "particles: %zu quads a pass; pictures differ in %.2f %% of pixels",
                vertices.size() / 36, 100.0 * differing_share(ours_picture, reference_picture));
  add_note(note);
}

}  // namespace

bool run_particle_benchmark(const std::string& work_dir, bool quick) {
  std::string data = work_dir + "/particles";
  make_folder(data);
  write_checker_png(data + "/tex.png");
  write_file(data + "/script.txt", "// the benchmark builds the scene itself\n");

  g_launch = LaunchOptions{};
  g_launch.headless = true;
  g_launch.vsync = false;
  g_launch.data_dir = data;
  g_launch.width = 640;
  g_launch.height = 480;
  clear_script_error();
  if (!start_engine()) {
    stop_engine();
    return false;
  }
  Engine* engine = g_engine;
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  add_note(std::string("GL renderer: ") + (renderer ? renderer : "?"));
  int texture = loadTexture(engine, "tex", 1);
  // Particle rounds take milliseconds, and their medians moved most between
  // runs: more of them.
  particle_scene(engine, texture);
  particle_pair(engine, quick ? 5 : 9, 10);
  stop_engine();
  return true;
}
