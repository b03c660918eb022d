#include "frame/frame_stats.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "core/command_codes.h"
#include "core/engine.h"
#include "resources/font.h"

namespace {

const char* const PART_NAMES[FRAME_PARTS] = {
    "script drain", "updates", "render targets", "scene pass", "shadows and CSG", "transparent pass", "post passes",
    "swap",
};

double median_of(std::vector<float> values) {
  if (values.empty()) return 0.0;
  auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Means over a run of frames: the rate over the time they span, and the parts
// over the sampled ones.
StatsReport report_of(const FrameStats& stats, size_t first, size_t end) {
  const std::vector<FrameStats::Frame>& frames = stats.frames();
  StatsReport report;
  if (first >= end) return report;
  report.frames = static_cast<int>(end - first);
  report.seconds = frames[end - 1].start_s + stats.frame_ms(end - 1) / 1000.0 - frames[first].start_s;
  report.fps = report.seconds > 0 ? report.frames / report.seconds : 0.0;
  report.frame_ms = 1000.0 * report.seconds / report.frames;
  for (size_t i = first; i < end; ++i) {
    if (!frames[i].sampled) continue;
    ++report.sampled;
    for (int p = 0; p < FRAME_PARTS; ++p) report.part_ms[p] += frames[i].part_ms[p];
  }
  if (report.sampled > 0)
    for (double& ms : report.part_ms) ms /= report.sampled;
  return report;
}

}  // namespace

const char* frame_part_name(int part) { return part >= 0 && part < FRAME_PARTS ? PART_NAMES[part] : "?"; }

std::string format_report(const StatsReport& report) {
  char text[512];
  int used = std::snprintf(text, sizeof text, "%.1f fps, %.1f ms a frame:", report.fps, report.frame_ms);
  for (int p = 0; p < FRAME_PARTS && used > 0 && used < static_cast<int>(sizeof text); ++p)
    used += std::snprintf(text + used, sizeof text - used, "%s %s %.1f", p == 0 ? "" : ",", PART_NAMES[p],
                          report.part_ms[p]);
  std::string line = text;
  return line + " ms";
}

FrameStats& frame_stats() {
  static FrameStats stats;
  return stats;
}

double FrameStats::now_s() const {
  // Real time, not the engine clock: on the fixed-step clock engine time does
  // not pass while a frame is drawn.
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  return seconds - origin_;
}

void FrameStats::finish_gl() const { glFinish(); }

void FrameStats::reset() {
  bool printing = printing_, overlay = overlay_;
  *this = FrameStats();
  printing_ = printing;
  overlay_ = overlay;
}

void FrameStats::begin_frame(bool script_done) {
  if (!timing()) return;
  if (!started_) {
    started_ = true;
    origin_ = 0;
    origin_ = now_s();
    second_start_ = 0;
    next_sample_ = 0;
  }
  // The first frame of each second measures the parts; it starts with the GL
  // idle, so that earlier frames' drawing does not count in it.
  frame_start_ = now_s();
  sampled_ = frame_start_ >= next_sample_;
  if (sampled_) {
    next_sample_ = second_start_ + 1.0;
    finish_gl();  // counted in this frame, which the summary leaves out
  }
  script_done_ = script_done;
  depth_ = 0;
  std::fill(std::begin(part_ms_), std::end(part_ms_), 0.0f);
}

void FrameStats::end_frame(bool drawn) {
  if (!timing() || !started_) return;
  double now = now_s();
  if (drawn) {
    Frame frame{frame_start_, static_cast<float>((now - frame_start_) * 1000.0), part_ms_[PART_DRAIN], script_done_,
                sampled_, {}};
    std::copy(std::begin(part_ms_), std::end(part_ms_), frame.part_ms);
    if (printing_) frames_.push_back(frame);
    ++second_frames_;
    if (sampled_) {
      ++second_sampled_;
      for (int p = 0; p < FRAME_PARTS; ++p) second_part_ms_[p] += part_ms_[p];
    }
  } else if (sampled_) {
    next_sample_ = frame_start_;  // a frame not drawn leaves the sample to the next one
  }
  if (now - second_start_ >= 1.0) close_second(now);
}

void FrameStats::close_second(double now) {
  StatsReport report;
  report.frames = second_frames_;
  report.seconds = now - second_start_;
  report.fps = report.frames / report.seconds;
  report.frame_ms = second_frames_ > 0 ? 1000.0 * report.seconds / second_frames_ : 0.0;
  report.sampled = second_sampled_;
  for (int p = 0; p < FRAME_PARTS; ++p)
    report.part_ms[p] = second_sampled_ > 0 ? second_part_ms_[p] / second_sampled_ : 0.0;
  second_ = report;
  if (printing_) std::fprintf(stderr, "talpine: %s\n", format_report(report).c_str());
  second_start_ = now;
  next_sample_ = now;
  second_frames_ = second_sampled_ = 0;
  std::fill(std::begin(second_part_ms_), std::end(second_part_ms_), 0.0);
}

void FrameStats::enter(FramePart) {
  if (!timing() || !started_) return;
  if (depth_++ > 0) return;
  part_start_ = now_s();
}

void FrameStats::leave(FramePart part) {
  if (!timing() || !started_ || depth_ == 0) return;
  if (--depth_ > 0) return;
  if (sampled_) finish_gl();
  part_ms_[part] += static_cast<float>((now_s() - part_start_) * 1000.0);
}

void FrameStats::finish_run() {
  if (!timing() || !started_) return;
  finish_gl();
  run_end_ = now_s();
}

double FrameStats::frame_ms(size_t i) const {
  if (i + 1 < frames_.size()) return (frames_[i + 1].start_s - frames_[i].start_s) * 1000.0;
  if (run_end_ >= frames_[i].start_s) return (run_end_ - frames_[i].start_s) * 1000.0;
  return frames_[i].call_ms;
}

std::string FrameStats::summary() const {
  if (frames_.empty()) return "";
  // The frames that measured the parts, and the last one, which ends when the
  // GL has finished, waited for the GL on purpose: left out.
  auto left_out = [&](size_t i) { return frames_[i].sampled || (i + 1 == frames_.size() && frames_.size() > 1); };
  std::vector<float> totals(frames_.size(), 0.0f), drawing(frames_.size(), 0.0f), usual, usual_drawing;
  size_t slowest = 0, slowest_drawing = 0;
  for (size_t i = 0; i < frames_.size(); ++i) {
    if (left_out(i)) continue;
    totals[i] = static_cast<float>(frame_ms(i));
    drawing[i] = totals[i] - frames_[i].drain_ms;
    usual.push_back(totals[i]);
    usual_drawing.push_back(drawing[i]);
    if (totals[i] > totals[slowest]) slowest = i;
    if (drawing[i] > drawing[slowest_drawing]) slowest_drawing = i;
  }
  char line[640];
  std::string text;
  std::snprintf(line, sizeof line,
                "talpine: stats: %zu frames, median %.1f ms, slowest %.1f ms (frame %zu, %.1f ms of it the script's "
                "commands)\n",
                frames_.size(), median_of(usual), totals[slowest], slowest + 1, frames_[slowest].drain_ms);
  text += line;
  // Frames the eye notices: over five of the usual ones; the first few named.
  const double drawing_median = median_of(usual_drawing);
  size_t stalls = 0;
  std::string named;
  for (size_t i = 0; i < drawing.size(); ++i) {
    if (left_out(i) || drawing[i] <= 5.0 * drawing_median) continue;
    if (++stalls > 8) continue;
    char one[48];
    std::snprintf(one, sizeof one, "%s%zu (%.0f ms)", named.empty() ? ": " : ", ", i + 1, drawing[i]);
    named += one;
  }
  std::snprintf(line, sizeof line,
                "talpine: stats: drawing, without the script's commands: median %.1f ms, slowest %.1f ms (frame %zu), "
                "%zu frames over 5 x the median",
                drawing_median, drawing[slowest_drawing], slowest_drawing + 1, stalls);
  text += line + named + (stalls > 8 ? ", ...\n" : "\n");
  size_t first_done = 0;
  while (first_done < frames_.size() && !frames_[first_done].script_done) ++first_done;
  if (first_done < frames_.size()) {
    StatsReport after = report_of(*this, first_done, frames_.size());
    std::snprintf(line, sizeof line, "talpine: stats: after the script ended: %d frames in %.3f s, %s\n",
                  after.frames, after.seconds, format_report(after).c_str());
    text += line;
  }
  return text;
}

// ---- the classes' parts -------------------------------------------------------

static FramePart part_of_class(int type_code, FrameStage stage, FramePart part) {
  switch (type_code) {
    case CMD_SHADOW:
    case CMD_CSG:
      return PART_SHADOWS_CSG;
    case CMD_TEXGFX:
      return stage == STAGE_BEFORE_CLEAR ? PART_TARGETS : part;
    case CMD_GLOW:
    case CMD_BLOOM:
      return stage == STAGE_BEFORE_CLEAR ? PART_POST : part;
    default:
      return part;
  }
}

void run_timed_stage(const ClassRegistry& classes, FrameStage stage, Engine* engine, FramePart part) {
  for (int i = 0; i < classes.count; ++i) {
    const ClassType* type = classes.in_order[i];
    if (StageHook hook = type->stages[stage]) {
      PartTimer timer(part_of_class(type->type_code, stage, part));
      hook(engine);
    }
  }
}

// ---- the overlay ----------------------------------------------------------------

void draw_stats_overlay(Engine* engine) {
  const Resources& resources = engine->resources;
  if (!resources.font_chars || resources.font_char_count <= 0) return;

  // Rows of a label and its figure, the figures in a column of their own.
  const StatsReport& report = frame_stats().last_second();
  std::vector<std::pair<std::string, std::string>> rows;
  char figure[48];
  if (report.frames == 0 && report.seconds == 0) {
    rows.push_back({"measuring...", ""});
  } else {
    std::snprintf(figure, sizeof figure, "%.1f ms a frame", report.frame_ms);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f fps", report.fps);
    rows.push_back({rate, figure});
    for (int p = 0; p < FRAME_PARTS; ++p) {
      std::snprintf(figure, sizeof figure, "%.2f ms", report.part_ms[p]);
      rows.push_back({PART_NAMES[p], figure});
    }
  }

  // Lines about 16 pixels apart, whatever the font's own size.
  int glyph_height = 1;
  for (int c = 0; c < resources.font_char_count; ++c)
    glyph_height = std::max(glyph_height, resources.font_chars[c].yOffset + resources.font_chars[c].height);
  const float scale = 14.0f / glyph_height;

  // Window pixels, y down, as the glyphs are laid out
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, engine->view.width, engine->view.height, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

  for (size_t i = 0; i < rows.size(); ++i) {
    const float y = 8.0f + i * 16.0f;
    drawText(engine, 8.0f, y, 0.0f, scale, scale, rows[i].first.c_str(), 1.0f, 1.0f, 0.6f, 1.0f);
    drawText(engine, 140.0f, y, 0.0f, scale, scale, rows[i].second.c_str(), 1.0f, 1.0f, 0.6f, 1.0f);
  }

  // Restore what the geometry pass leaves
  glDisable(GL_BLEND);
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
