#include "bench/results.h"

#include <cstdio>

std::map<std::string, double>& medians() {
  static std::map<std::string, double> values;
  return values;
}

std::vector<Row>& rows() {
  static std::vector<Row> values;
  return values;
}

static std::vector<std::string>& notes() {
  static std::vector<std::string> values;
  return values;
}

void add_row(const Row& row) { rows().push_back(row); }
void add_note(const std::string& note) { notes().push_back(note); }

void print_table() {
  std::printf("\n| %-44s | %12s | %-34s | %12s | %7s | %-8s | %-4s |\n", "figure", "median", "reference (same run)",
              "median", "ratio", "target", "met");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
              std::string(36, '-').c_str(), std::string(14, '-').c_str(), std::string(9, '-').c_str(),
              std::string(10, '-').c_str(), std::string(6, '-').c_str());
  for (const Row& r : rows()) {
    char fig[32], ref[32], ratio[16];
    std::snprintf(fig, sizeof fig, "%.3f %s", r.figure_s * r.scale, r.unit.c_str());
    if (r.reference_s > 0) {
      std::snprintf(ref, sizeof ref, "%.3f %s", r.reference_s * r.scale, r.unit.c_str());
      std::snprintf(ratio, sizeof ratio, "%.2f", r.figure_s / r.reference_s);
    } else {
      std::snprintf(ref, sizeof ref, "-");
      std::snprintf(ratio, sizeof ratio, "-");
    }
    const char* met = "";
    if (r.limit > 0 && r.reference_s > 0) met = r.figure_s / r.reference_s <= r.limit ? "yes" : "NO";
    std::printf("| %-44s | %12s | %-34s | %12s | %7s | %-8s | %-4s |\n", r.figure.c_str(), fig, r.reference.c_str(),
                ref, ratio, r.target.c_str(), met);
  }
  for (const std::string& note : notes()) std::printf("\n%s", note.c_str());
  std::printf("\n");
}
