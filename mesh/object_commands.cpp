#include "mesh/object_commands.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/loaded_shape.h"
#include "mesh/object.h"

namespace {

// ---- helpers: every number from a script is checked against its array ------

MaterialGroup* find_group(cObject* o, float part, float group) {
  int p = float_to_int(part), g = float_to_int(group);
  if (p < 0 || p >= o->partCount) return nullptr;
  MeshPart& mesh_part = o->parts[p];
  if (g < 0 || g >= mesh_part.groupCount) return nullptr;
  return &mesh_part.groups[g];
}

// A texture number is usable when it names an in-use slot of the table.
bool usable_texture(const cObject* o, float slot, int* number) {
  int n = float_to_int(slot);
  if (n < 0 || n >= MAX_TEXTURES || !o->engine->resources.textures[n].inUse) return false;
  *number = n;
  return true;
}

template <typename F>
void each_group(cObject* o, F f) {
  for (MeshPart& part : o->parts)
    for (MaterialGroup& group : part.groups) f(part, group);
}

void set_rgb(float* colour, float a, float b, float c) {
  colour[0] = a;
  colour[1] = b;
  colour[2] = c;
}

// Vertex v of the first part, or null.
float* first_part_vertex(cObject* o, float v) {
  if (o->partCount < 1) return nullptr;
  int k = float_to_int(v);
  if (k < 0 || k >= o->parts[0].vertexCount) return nullptr;
  keepLoadedShape(o);
  return &o->parts[0].positions[k * 3];
}

void set_axis_range(cObject* o, int axis, float from, float to, float value) {
  if (o->partCount < 1) return;
  MeshPart& part = o->parts[0];
  int first = float_to_int(from), last = float_to_int(to);
  if (first < 0) first = 0;
  if (last > part.vertexCount) last = part.vertexCount;
  keepLoadedShape(o);
  for (int i = first; i < last; ++i) part.positions[i * 3 + axis] = value;
}

void set_cull(cObject* o, int winding) {
  if (o->frontFace != winding) {
    o->frontFace = winding;
    keepLoadedShape(o);
    o->computeNormals();
  } else {
    o->frontFace = FRONT_FACE_NO_CULL;
    o->frustumTest = 0;
  }
}

// ---- handlers, in table order ---------------------------------------------

void cmd_active(cObject* o, float a, float, float, float) {
  o->refreshBuffers();
  o->active = float_to_int(a) != 0;
  // Visibility is only re-tested for dirty objects: an object switched on in a
  // later frame than its last placement would otherwise stay invisible.
  o->dirty = 1;
}
void cmd_update(cObject* o, float, float, float, float) { o->dirty = 1; }
void cmd_diffuse(cObject* o, float a, float b, float c, float) {
  each_group(o, [&](MeshPart&, MaterialGroup& g) { set_rgb(g.diffuse, a, b, c); });
}
void cmd_ambient(cObject* o, float a, float b, float c, float) {
  each_group(o, [&](MeshPart&, MaterialGroup& g) { set_rgb(g.ambient, a, b, c); });
}
void cmd_specular(cObject* o, float a, float b, float c, float) {
  each_group(o, [&](MeshPart&, MaterialGroup& g) { set_rgb(g.specular, a, b, c); });
}
void cmd_blend(cObject* o, float a, float, float, float) {
  // Only ever sets the marks: a later blend 1 leaves them on.
  each_group(o, [&](MeshPart&, MaterialGroup& g) {
    g.diffuse[3] = a;
    if (a < 1.0f) g.transparent = 1;
  });
  if (a < 1.0f) o->blended = 1;
}
void cmd_alpha(cObject* o, float a, float, float, float) { o->blended = float_flag(a); }
void cmd_lighted(cObject* o, float a, float, float, float) { o->unlit = !float_flag(a); }
void cmd_smooth(cObject* o, float a, float, float, float) { o->smooth = float_flag(a); }
void cmd_fog(cObject* o, float a, float, float, float) { o->fog = float_flag(a); }
void cmd_drawmode(cObject* o, float a, float, float, float) {
  o->primitive = float_flag(a) ? GL_TRIANGLES : GL_LINES;
}
void cmd_accepted(cObject*, float, float, float, float) {}
void cmd_texture(cObject* o, float a, float, float, float) {
  int slot;
  if (!usable_texture(o, a, &slot)) return;
  each_group(o, [&](MeshPart& p, MaterialGroup& g) {
    if (p.texCoordCount > 0) g.baseTexture = static_cast<int16_t>(slot);
  });
}
void cmd_deftex(cObject* o, float a, float b, float, float) {
  int slot;
  if (!usable_texture(o, a, &slot)) return;
  int layer = float_to_int(b);
  each_group(o, [&](MeshPart& p, MaterialGroup& g) {
    if (p.texCoordCount <= 0) return;
    int16_t value = static_cast<int16_t>(slot);
    switch (layer) {
      case 1: g.envTexture = value; break;
      case 2: g.lightmapTexture = value; break;
      case 3: g.bumpTexture = value; break;
      case 4: g.normalTexture = value; break;
      default: g.baseTexture = value; break;
    }
  });
}
void cmd_mattex(cObject* o, float a, float b, float c, float) {
  int slot;
  MaterialGroup* g = find_group(o, a, b);
  if (g && usable_texture(o, c, &slot)) g->baseTexture = static_cast<int16_t>(slot);
}
void cmd_matcolr(cObject* o, float a, float b, float c, float) {
  if (MaterialGroup* g = find_group(o, a, b)) g->diffuse[0] = c;
}
void cmd_matcolg(cObject* o, float a, float b, float c, float) {
  if (MaterialGroup* g = find_group(o, a, b)) g->diffuse[1] = c;
}
void cmd_matcolb(cObject* o, float a, float b, float c, float) {
  if (MaterialGroup* g = find_group(o, a, b)) g->diffuse[2] = c;
}
void cmd_matcola(cObject* o, float a, float b, float c, float) {
  MaterialGroup* g = find_group(o, a, b);
  if (!g) return;
  g->diffuse[3] = c;
  if (c < 1.0f) {
    o->blended = 1;
    g->transparent = 1;
  }
}
void cmd_cull(cObject* o, float a, float, float, float) {
  int mode = float_to_int(a);
  if (mode == 0) {
    set_cull(o, GL_CCW);
  } else if (mode == 1) {
    set_cull(o, GL_CW);
  } else {
    o->frontFace = FRONT_FACE_NO_CULL;
    o->frustumTest = 0;
  }
}
void cmd_test(cObject* o, float a, float, float, float) { o->frustumTest = float_flag(a); }
void cmd_mask(cObject* o, float a, float, float, float) { o->depthWrite = float_flag(a); }
void cmd_transp(cObject* o, float a, float, float, float) { o->alphaTest = float_flag(a); }
void cmd_tmode(cObject* o, float a, float b, float, float) {
  int part = float_to_int(a), mode = float_to_int(b);
  if (part == -1) {
    for (MeshPart& p : o->parts) p.blendMode = mode;
  } else if (part >= 0 && part < o->partCount) {
    o->parts[part].blendMode = mode;
  }
}
void cmd_position(cObject* o, float a, float b, float c, float) {
  o->position[0] = a;
  o->position[1] = b;
  o->position[2] = -c;
  o->updateTransform();
  o->dirty = 1;
}
void cmd_rotation(cObject* o, float a, float b, float c, float) {
  o->rotation[0] = a;
  o->rotation[1] = b;
  o->rotation[2] = -c;
  o->updateTransform();
  o->dirty = 1;
}
void cmd_scale(cObject* o, float a, float, float, float) {
  keepLoadedShape(o);
  for (MeshPart& p : o->parts)
    for (float& x : p.positions) x *= a;
  o->computeBounds();
  o->updateTransform();
  o->computeNormals();
  o->dirty = 1;
}
void cmd_matrix(cObject* o, float a, float b, float c, float d) {
  o->scaleEnabled = float_flag(a);
  o->matrixScale[0] = b;
  o->matrixScale[1] = c;
  o->matrixScale[2] = d;
}
void cmd_fixed(cObject* o, float a, float, float, float) {
  o->fixedMode = static_cast<int16_t>(float_to_int(a));
}
void cmd_lmreset(cObject* o, float, float, float, float) {
  each_group(o, [](MeshPart&, MaterialGroup& g) { std::vector<int32_t>().swap(g.lightmapCoords); });
}
void cmd_vertex(cObject* o, float a, float b, float c, float d) {
  if (float* p = first_part_vertex(o, a)) {
    p[0] = b;
    p[1] = c;
    p[2] = d;
  }
}
void cmd_x_value(cObject* o, float a, float b, float, float) {
  if (float* p = first_part_vertex(o, a)) p[0] = b;
}
void cmd_y_value(cObject* o, float a, float b, float, float) {
  if (float* p = first_part_vertex(o, a)) p[1] = b;
}
void cmd_z_value(cObject* o, float a, float b, float, float) {
  if (float* p = first_part_vertex(o, a)) p[2] = b;
}
void cmd_x_array(cObject* o, float a, float b, float c, float) { set_axis_range(o, 0, a, b, c); }
void cmd_y_array(cObject* o, float a, float b, float c, float) { set_axis_range(o, 1, a, b, c); }
void cmd_z_array(cObject* o, float a, float b, float c, float) { set_axis_range(o, 2, a, b, c); }

// The command frame calls handlers with the script's values; these take them
// as a to d.
template <void (*F)(cObject*, float, float, float, float)>
void values(cObject& object, const CommandArgs& args) {
  F(&object, args.a, args.b, args.c, args.d);
}

}  // namespace

// Matching order: a name containing two keywords is handled by the earlier one
// (a name containing "texture" never reaches "deftex" or "mattex").
const ClassKeyword<cObject> ObjectClass::keywords[] = {
    {"active", values<cmd_active>},     {"update", values<cmd_update>},
    {"diffuse", values<cmd_diffuse>},   {"ambient", values<cmd_ambient>},
    {"specular", values<cmd_specular>}, {"blend", values<cmd_blend>},
    {"alpha", values<cmd_alpha>},       {"lighted", values<cmd_lighted>},
    {"smooth", values<cmd_smooth>},     {"fog", values<cmd_fog>},
    {"drawmode", values<cmd_drawmode>}, {"lmmode", values<cmd_accepted>},
    {"envmode", values<cmd_accepted>},  {"bumplevel", values<cmd_accepted>},
    {"texture", values<cmd_texture>},   {"deftex", values<cmd_deftex>},
    {"mattex", values<cmd_mattex>},     {"matcolr", values<cmd_matcolr>},
    {"matcolg", values<cmd_matcolg>},   {"matcolb", values<cmd_matcolb>},
    {"matcola", values<cmd_matcola>},   {"cull", values<cmd_cull>},
    {"test", values<cmd_test>},         {"mask", values<cmd_mask>},
    {"transp", values<cmd_transp>},     {"border", values<cmd_accepted>},
    {"tmode", values<cmd_tmode>},       {"range", values<cmd_accepted>},
    {"position", values<cmd_position>}, {"rotation", values<cmd_rotation>},
    {"scale", values<cmd_scale>},       {"matrix", values<cmd_matrix>},
    {"fixed", values<cmd_fixed>},       {"lmreset", values<cmd_lmreset>},
    {"vertex", values<cmd_vertex>},     {"x_value", values<cmd_x_value>},
    {"y_value", values<cmd_y_value>},   {"z_value", values<cmd_z_value>},
    {"x_array", values<cmd_x_array>},   {"y_array", values<cmd_y_array>},
    {"z_array", values<cmd_z_array>},   {"shader", values<cmd_accepted>},
    {"vprog", values<cmd_accepted>},    {"fprog", values<cmd_accepted>},
};

// Objects are made by `load`, not `new`; deleting one drops its arrays and
// GPU buffers.
void ObjectClass::destroy(cObject* object) {
  object->active = 0;
  delete object;
}

void ObjectClass::opaque(Engine* engine) {
  // arrays on, texturing on, blending off
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  for (int i = 0; i < engine->scene.objects.count; ++i) {
    cObject* object = engine->scene.objects[i];
    if (object && !object->csgMark) object->draw(0);
  }
}

void ObjectClass::blended(Engine* engine) {
  for (int i = 0; i < engine->scene.objects.count; ++i) {
    cObject* object = engine->scene.objects[i];
    if (object && object->blended) object->draw(1);
  }
}

extern const ClassType object_class = class_type<ObjectClass>();
