// Emitter points on an object's vertices, shared by the lens flares and the
// particle systems: "add" appends (object, part, vertex) with a zero offset up
// to a limit, "offset" sets point i's offset in whole units (16-bit values).
// Element needs object, points[] (part, vertex), pointOffsets[][3] and
// pointCount.
#pragma once

#include <cstdint>

#include "core/convert.h"
#include "core/element_class.h"

template <typename Element>
void addVertexPoint(Element& e, const CommandArgs& args, int limit) {
  if (e.pointCount >= limit) return;
  e.object = float_to_int(args.a);
  auto& point = e.points[e.pointCount];
  point.part = static_cast<int16_t>(float_to_int(args.b));
  point.vertex = static_cast<int16_t>(float_to_int(args.c));
  for (float& axis : e.pointOffsets[e.pointCount]) axis = 0;
  e.pointCount += 1;
}

// `capacity` is the length of pointOffsets: any slot of it may be set, in use
// or not.
template <typename Element>
void setPointOffset(Element& e, const CommandArgs& args, int capacity) {
  int i = float_to_int(args.a);
  if (i < 0 || i >= capacity) return;
  e.pointOffsets[i][0] = static_cast<int16_t>(float_to_int(args.b));
  e.pointOffsets[i][1] = static_cast<int16_t>(float_to_int(args.c));
  e.pointOffsets[i][2] = static_cast<int16_t>(float_to_int(args.d));
}
