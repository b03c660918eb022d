// The element classes the dispatcher knows. Each class defines its ClassType in
// its own file (see core/element_class.h); registering it is one line below.
#include "core/element_class.h"

static ClassRegistry& registry() {
  static ClassRegistry classes;
  return classes;
}

const ClassRegistry& engine_classes() { return registry(); }

// Declares the class's ClassType and adds it to the registry before main runs.
#define REGISTER_CLASS(type) \
  extern const ClassType type; \
  [[maybe_unused]] static const bool registered_##type = (registry().add(type), true)

// One line per class. The order is the order of every frame stage (see
// FrameStage in core/element_class.h):
//   update:       csg, framer, water, fluid, texgfx, deform
//   before clear: texgfx, glow, bloom
//   background:   blur
//   opaque:       light, skybox, object, shadow, csg
//   blended:      object
//   transparent:  flare, particle
//   composite:    glow, bloom, blur
//   after swap:   bloom
REGISTER_CLASS(light_class);
REGISTER_CLASS(skybox_class);
REGISTER_CLASS(object_class);
REGISTER_CLASS(shadow_class);
REGISTER_CLASS(csg_class);
REGISTER_CLASS(framer_class);
REGISTER_CLASS(water_class);
REGISTER_CLASS(fluid_class);
REGISTER_CLASS(texgfx_class);
REGISTER_CLASS(deform_class);
REGISTER_CLASS(glow_class);
REGISTER_CLASS(bloom_class);
REGISTER_CLASS(blur_class);
REGISTER_CLASS(flare_class);
REGISTER_CLASS(particle_class);
REGISTER_CLASS(radio_class);
