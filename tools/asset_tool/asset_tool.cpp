// asset_tool: writes the procedural meshes and images that the demo and the
// examples use.
//
//   asset_tool OUT_DIR ITEM...
//
// Each ITEM is GENERATOR:FILE, optionally followed by =TEXTURE for a 3D Studio
// or glTF file (the material's map name, for example box:crate.3ds=brick.png).
// The extension of FILE picks the format: .obj, .3ds, .gltf or .glb for meshes,
// .png or .jpg for images. A .glb carries its texture inside when TEXTURE is
// an image generator's file (torus:ring.glb=marble.png makes the marble image
// and stores it in the file); otherwise, and in a .gltf, the material names
// the file TEXTURE beside the mesh. The sky writes six faces: sky:clouds.jpg gives clouds_top.jpg,
// clouds_bottom.jpg, clouds_left.jpg, clouds_right.jpg, clouds_back.jpg and
// clouds_front.jpg, the names the sky box loads.
//
// Meshes: plane (20 units, texture repeated 4 times), grid (32 x 32 vertices,
// 1 unit apart), grid16 (16 x 16), sphere, torus, box (2 units), room (16 x 8 x
// 16 with a block inside), court (16 x 6 x 16, open to the sky and at the
// front, with a block and a pillar). Images (128 pixels unless said): checker, tiles (a
// blue and white checker), brick, stone (256, sandstone blocks), marble, gradient, hot (64, yellow to red),
// particle and flare (64, with
// alpha), ring (64, alpha), sky (128 per face), lambert (64, alpha).
#include <FreeImage.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "tools/asset_tool/gltf.h"
#include "tools/asset_tool/meshes.h"
#include "tools/asset_tool/textures.h"

namespace {

const std::map<std::string, std::function<ToolMesh()>> MESHES = {
    {"plane", [] { return make_plane(20, 4); }},
    {"grid", [] { return make_grid(32, 1.0f); }},
    {"grid16", [] { return make_grid(16, 1.0f); }},
    {"sphere", [] { return make_sphere(1.0f, 24, 16); }},
    {"torus", [] { return make_torus(1.0f, 0.35f, 32, 12); }},
    {"box", [] { return make_box(2, 2, 2); }},
    {"room", [] { return make_room(16, 8, 16); }},
    {"court", [] { return make_court(16, 6, 16); }},
};

const float WHITE[3] = {0.95f, 0.95f, 0.95f};
const float GREY[3] = {0.35f, 0.35f, 0.38f};
const float BLUE[3] = {0.20f, 0.35f, 0.75f};
const float SKY_TOP[3] = {0.10f, 0.20f, 0.50f};
const float SKY_BOTTOM[3] = {0.90f, 0.60f, 0.35f};
const float HOT_TOP[3] = {1.0f, 0.95f, 0.4f};
const float HOT_BOTTOM[3] = {1.0f, 0.3f, 0.05f};

const std::map<std::string, std::function<ToolImage()>> IMAGES = {
    {"checker", [] { return make_checker(128, 8, WHITE, GREY); }},
    {"tiles", [] { return make_checker(128, 4, WHITE, BLUE); }},
    {"brick", [] { return make_brick(128); }},
    {"stone", [] { return make_stone(256, 4); }},
    {"marble", [] { return make_marble(128, 3); }},
    {"gradient", [] { return make_gradient(128, SKY_TOP, SKY_BOTTOM); }},
    {"hot", [] { return make_gradient(64, HOT_TOP, HOT_BOTTOM); }},
    {"particle", [] { return make_particle(64); }},
    {"flare", [] { return make_flare(64); }},
    {"ring", [] { return make_ring(64); }},
    {"lambert", [] { return make_lambert(64); }},
};

const char* const SKY_FACES[6] = {"_top", "_bottom", "_left", "_right", "_back", "_front"};

bool make_item(const std::string& dir, const std::string& item) {
  size_t colon = item.find(':');
  if (colon == std::string::npos) return false;
  std::string generator = item.substr(0, colon);
  std::string file = item.substr(colon + 1), texture;
  if (size_t eq = file.find('='); eq != std::string::npos) {
    texture = file.substr(eq + 1);
    file = file.substr(0, eq);
  }
  size_t dot = file.rfind('.');
  if (dot == std::string::npos) return false;
  std::string base = file.substr(0, dot), ext = file.substr(dot);

  if (auto mesh = MESHES.find(generator); mesh != MESHES.end()) {
    ToolMesh m = mesh->second();
    m.texture = texture;
    if (ext == ".obj") return write_obj(dir + file, m);
    if (ext == ".3ds") return write_3ds(dir + file, m);
    if (ext == ".gltf" || ext == ".glb") {
      std::string embedded;
      size_t texture_dot = texture.rfind('.');
      auto image = IMAGES.find(texture.substr(0, texture_dot));
      if (ext == ".glb" && texture_dot != std::string::npos && image != IMAGES.end()) {
        embedded = encode_image(texture, image->second());
        if (embedded.empty()) return false;
      }
      return write_gltf(dir + file, m, embedded, ext == ".glb");
    }
    return false;
  }
  if (generator == "sky") {
    for (int face = 0; face < 6; ++face)
      if (!write_image(dir + base + SKY_FACES[face] + ext, make_sky_face(128, face))) return false;
    return true;
  }
  if (auto image = IMAGES.find(generator); image != IMAGES.end())
    return write_image(dir + file, image->second());
  return false;
}

void usage(FILE* out) {
  std::fprintf(out,
               "usage: asset_tool OUT_DIR GENERATOR:FILE[=TEXTURE]...\n"
               "       asset_tool --help\n"
               "\n"
               "Writes each FILE into OUT_DIR from its GENERATOR. The extension of FILE picks the\n"
               "format: .obj or .3ds for a mesh, .png or .jpg for an image. =TEXTURE names the map\n"
               "of a .3ds file's material (box:crate.3ds=brick.jpg).\n"
               "\n"
               "mesh generators:\n");
  for (const auto& [name, make] : MESHES) std::fprintf(out, "  %s\n", name.c_str());
  std::fprintf(out, "image generators:\n");
  for (const auto& [name, make] : IMAGES) std::fprintf(out, "  %s\n", name.c_str());
  std::fprintf(out,
               "  sky       six faces: sky:clouds.jpg writes clouds_top.jpg ... clouds_front.jpg\n"
               "\n"
               "example: build/tools/asset_tool Data box:crate.obj checker:checker.png sky:sky.jpg\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    usage(stdout);
    return 0;
  }
  if (argc < 3) {
    usage(stderr);
    return 2;
  }
  std::string dir = argv[1];
  if (!dir.ends_with('/')) dir += '/';
  FreeImage_Initialise(FALSE);
  int failures = 0;
  for (int i = 2; i < argc; ++i)
    if (!make_item(dir, argv[i])) {
      std::fprintf(stderr, "asset_tool: cannot make %s\n", argv[i]);
      ++failures;
    }
  FreeImage_DeInitialise();
  return failures ? 1 : 0;
}
