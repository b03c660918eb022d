#include "bench/results.h"

#include <algorithm>
#include <cstdio>

std::map<std::string, double>& medians() {
  static std::map<std::string, double> values;
  return values;
}

static std::vector<Row>& rows() {
  static std::vector<Row> values;
  return values;
}

static std::vector<std::string>& notes() {
  static std::vector<std::string> values;
  return values;
}

void add_row(const Row& row) { rows().push_back(row); }
void add_note(const std::string& note) { notes().push_back(note); }

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double spread(const std::vector<double>& values) {
  if (values.size() < 2) return 0.0;
  auto [low, high] = std::minmax_element(values.begin(), values.end());
  double middle = median(values);
  return middle != 0.0 ? 0.5 * (*high - *low) / middle : 0.0;
}

namespace {

std::string value_text(const std::vector<double>& runs, const Row& row) {
  if (runs.empty()) return "-";
  char text[40];
  double value = median(runs) * row.scale;
  std::snprintf(text, sizeof text, value >= 100 ? "%.1f %s" : "%.3f %s", value, row.unit.c_str());
  return text;
}

std::string spread_text(const std::vector<double>& runs) {
  if (runs.size() < 2) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.0f %%", 100.0 * spread(runs));
  return text;
}

}  // namespace

void print_table() {
  const char* format = "| %-46s | %14s | %6s | %-36s | %14s | %6s | %7s | %-10s | %-4s |\n";
  std::printf("\n");
  std::printf(format, "figure", "median", "spread", "reference (same runs)", "median", "spread", "ratio", "target",
              "met");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(16, '-').c_str(),
              std::string(8, '-').c_str(), std::string(38, '-').c_str(), std::string(16, '-').c_str(),
              std::string(8, '-').c_str(), std::string(9, '-').c_str(), std::string(12, '-').c_str(),
              std::string(6, '-').c_str());
  for (const Row& r : rows()) {
    double figure = median(r.figure_runs), reference = median(r.reference_runs);
    bool paired = !r.figure_runs.empty() && !r.reference_runs.empty() && reference != 0.0;
    char ratio[16] = "-", target[24] = "", met[8] = "";
    if (paired) std::snprintf(ratio, sizeof ratio, "%.2f", figure / reference);
    if (r.target.kind == Target::Ratio) {
      std::snprintf(target, sizeof target, "<= %.2f", r.target.value);
      if (paired) std::snprintf(met, sizeof met, "%s", figure / reference <= r.target.value ? "yes" : "NO");
    } else if (r.target.kind == Target::Margin) {
      std::snprintf(target, sizeof target, "<= +%g %s", r.target.value, r.unit.c_str());
      if (paired)
        std::snprintf(met, sizeof met, "%s", (figure - reference) * r.scale <= r.target.value ? "yes" : "NO");
    }
    std::printf(format, r.figure.c_str(), value_text(r.figure_runs, r).c_str(), spread_text(r.figure_runs).c_str(),
                r.reference.c_str(), value_text(r.reference_runs, r).c_str(), spread_text(r.reference_runs).c_str(),
                ratio, target, met);
  }
  for (const std::string& note : notes()) std::printf("\n%s", note.c_str());
  std::printf("\n");
}
