// Ear clipping. The polygon is projected onto the coordinate plane most facing
// its normal (Newell's sum), mirrored if need be so that it winds counter-
// clockwise there, and ears are cut off one at a time: a corner that turns
// left and whose triangle holds no other corner. Emitted triangles keep the
// corners in polygon order, so they wind like the face in space whatever the
// projection did.
#include "mesh/polygon.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point {
  double x, y;
};

// Float corners meant to lie on a line rarely come out exactly on it, and a
// corner a float's rounding away from its neighbour points anywhere. So a
// corner counts as turning only when it leaves the line of its longer edge by
// more than this fraction of the polygon's size, and an edge shorter than that
// fraction does not count as an edge when deciding convexity.
constexpr double STRAIGHT = 1e-6;
constexpr double PI = 3.14159265358979323846;
// Point-in-triangle tests one polygon may spend, at most; a face that needs
// more (only contrived ones do) has its rest cut as a fan.
constexpr size_t MAX_CLIP_TESTS = size_t(1) << 22;

// Twice the signed area of (a, b, c): positive when it turns left.
double orient(const Point& a, const Point& b, const Point& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

enum class Turn { Left, Straight, Right };

double length(double x, double y) { return std::sqrt(x * x + y * y); }  // no overflow from float input

// The turn at b, for a polygon of the given size.
Turn turn(const Point& a, const Point& b, const Point& c, double size) {
  double longer = std::max(length(b.x - a.x, b.y - a.y), length(c.x - b.x, c.y - b.y));
  double area = orient(a, b, c);
  double tolerance = STRAIGHT * size * longer;
  if (area > tolerance) return Turn::Left;
  if (area < -tolerance) return Turn::Right;
  return Turn::Straight;
}

// Convex: no corner turns right or back on itself, and the turns add up to
// one round, not several as in a star polygon that crosses itself (which
// takes five corners at least: each turn is below half a round).
bool convex(const std::vector<Point>& p, double size) {
  struct Edge {
    double x, y, length;
  };
  thread_local std::vector<Edge> edges;  // kept between calls: most faces are quads
  edges.clear();
  for (size_t i = 0; i < p.size(); ++i) {
    const Point& a = p[i];
    const Point& b = p[(i + 1) % p.size()];
    double l = length(b.x - a.x, b.y - a.y);
    if (l > STRAIGHT * size) edges.push_back({b.x - a.x, b.y - a.y, l});
  }
  double total = 0.0;
  for (size_t i = 0; i < edges.size(); ++i) {
    const Edge& e1 = edges[i];
    const Edge& e2 = edges[(i + 1) % edges.size()];
    double cross = e1.x * e2.y - e1.y * e2.x, dot = e1.x * e2.x + e1.y * e2.y;
    double tolerance = STRAIGHT * size * std::max(e1.length, e2.length);
    if (cross < -tolerance || (cross <= tolerance && dot < 0.0)) return false;
    if (edges.size() >= 5) total += std::atan2(cross, dot);
  }
  return total < 3.0 * PI;
}

void fan(size_t count, std::vector<uint32_t>* triangles) {
  for (size_t i = 2; i < count; ++i)
    triangles->insert(triangles->end(), {0u, static_cast<uint32_t>(i - 1), static_cast<uint32_t>(i)});
}

// The corners in the plane, counter-clockwise, and the larger side of their
// bounding box; false when the polygon has no area or a corner is not finite.
bool project(const float* corners, size_t count, std::vector<Point>* out, double* size) {
  double normal[3] = {0, 0, 0};
  for (size_t i = 0; i < count; ++i) {
    const float* a = corners + i * 3;
    const float* b = corners + (i + 1) % count * 3;
    normal[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
    normal[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
    normal[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
  }
  int axis = 0;
  for (int k = 1; k < 3; ++k)
    if (std::fabs(normal[k]) > std::fabs(normal[axis])) axis = k;
  // NaN fails this too.
  if (!(std::fabs(normal[axis]) > 0.0) || !std::isfinite(normal[axis])) return false;
  int u = (axis + 1) % 3, v = (axis + 2) % 3;
  double mirror = normal[axis] > 0.0 ? 1.0 : -1.0;
  out->resize(count);
  Point low = {HUGE_VAL, HUGE_VAL}, high = {-HUGE_VAL, -HUGE_VAL};
  for (size_t i = 0; i < count; ++i) {
    Point q = {corners[i * 3 + u] * mirror, double(corners[i * 3 + v])};
    if (!std::isfinite(q.x) || !std::isfinite(q.y)) return false;
    low = {std::min(low.x, q.x), std::min(low.y, q.y)};
    high = {std::max(high.x, q.x), std::max(high.y, q.y)};
    (*out)[i] = q;
  }
  *size = std::max(high.x - low.x, high.y - low.y);
  return true;
}

struct Clipper {
  const std::vector<Point>& p;
  double size;
  std::vector<uint32_t>* triangles;
  std::vector<uint32_t> next, prev;
  size_t remaining;
  size_t budget;

  Clipper(const std::vector<Point>& points, double extent, std::vector<uint32_t>* out)
      : p(points), size(extent), triangles(out), next(points.size()), prev(points.size()), remaining(points.size()) {
    size_t n = points.size();
    budget = n < 1024 ? std::min(MAX_CLIP_TESTS, 8 * n * n + 64) : MAX_CLIP_TESTS;
    for (size_t i = 0; i < n; ++i) {
      next[i] = static_cast<uint32_t>((i + 1) % n);
      prev[i] = static_cast<uint32_t>((i + n - 1) % n);
    }
  }

  bool same(uint32_t i, uint32_t j) const { return p[i].x == p[j].x && p[i].y == p[j].y; }

  // An ear: turns left, and no other corner lies inside its triangle or on
  // its edges (corners at the same place as one of its own do not count).
  bool ear(uint32_t b) {
    uint32_t a = prev[b], c = next[b];
    --budget;
    if (turn(p[a], p[b], p[c], size) != Turn::Left) return false;
    budget -= std::min(budget, remaining);
    for (uint32_t q = next[c]; q != a; q = next[q]) {
      if (same(q, a) || same(q, b) || same(q, c)) continue;
      if (orient(p[a], p[b], p[q]) >= 0 && orient(p[b], p[c], p[q]) >= 0 && orient(p[c], p[a], p[q]) >= 0)
        return false;
    }
    return true;
  }

  // Cuts off corner b; returns the corner after it.
  uint32_t cut(uint32_t b) {
    uint32_t a = prev[b], c = next[b];
    triangles->insert(triangles->end(), {a, b, c});
    next[a] = c;
    prev[c] = a;
    --remaining;
    return c;
  }

  // When a whole round finds no ear, the rest crosses itself or lies on a
  // line. A straight corner costs no area to cut; else a left turn, whatever
  // it covers; else (everything turns right: a loop wound the other way) the
  // corner at hand. Any of them makes progress.
  uint32_t fallback(uint32_t start) {
    budget -= std::min(budget, remaining);
    uint32_t left = UINT32_MAX;
    uint32_t v = start;
    do {
      Turn t = turn(p[prev[v]], p[v], p[next[v]], size);
      if (t == Turn::Straight) return v;
      if (t == Turn::Left && left == UINT32_MAX) left = v;
      v = next[v];
    } while (v != start);
    return left != UINT32_MAX ? left : start;
  }

  void run() {
    uint32_t v = 1;  // the first candidate is (0, 1, 2), as in a fan
    size_t misses = 0;
    while (remaining > 3 && budget > 0) {
      if (ear(v)) {
        v = cut(v);
        misses = 0;
      } else if (++misses < remaining) {
        v = next[v];
      } else {
        v = cut(fallback(v));
        misses = 0;
      }
    }
    // The last triangle, or, when the budget ran out, a fan of what is left.
    uint32_t first = prev[v];
    for (uint32_t q = v; next[q] != first; q = next[q]) triangles->insert(triangles->end(), {first, q, next[q]});
  }
};

}  // namespace

void triangulatePolygon(const float* corners, size_t count, std::vector<uint32_t>* triangles) {
  if (count < 3) return;
  thread_local std::vector<Point> points;
  double size = 0.0;
  if (count == 3 || !project(corners, count, &points, &size) || convex(points, size)) {
    fan(count, triangles);
    return;
  }
  Clipper(points, size, triangles).run();
}
