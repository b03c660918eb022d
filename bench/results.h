// The one table `make bench` prints. A row is one figure beside the reference
// it is held against, each given as the values of its runs (measured in the
// same rounds, so both saw the same machine), and the target the pair must meet.
// The table shows each median and its spread, the ratio of the medians and
// whether the target is met.
//
// Adding a row: measure the figure and its reference in the same rounds, then
//
//   Row row;
//   row.figure = "glTF reader, 1M triangles";
//   row.reference = "tinygltf, same file";
//   row.figure_runs = {...};       // one value a run, in `unit` after `scale`
//   row.reference_runs = {...};    // empty: no reference
//   row.scale = 1e3; row.unit = "ms";
//   row.target = Target::ratio(1.0);  // or Target::margin(30), or nothing
//   add_row(row);
//
// from a function called in bench_main.cpp (in the section that runs it).
#pragma once

#include <map>
#include <string>
#include <vector>

// Medians in seconds of the Google Benchmark runs, by benchmark name.
std::map<std::string, double>& medians();

// What a row must meet. Ratio: figure / reference at or below `value` (lower
// is better: times, not rates). Margin: figure - reference at or below
// `value`, in the row's unit.
struct Target {
  enum Kind { None, Ratio, Margin } kind = None;
  double value = 0;
  static Target ratio(double limit) { return {Ratio, limit}; }
  static Target margin(double limit) { return {Margin, limit}; }
};

struct Row {
  std::string figure;     // what is measured
  std::string reference;  // what it is held against; "-" when nothing
  std::vector<double> figure_runs, reference_runs;
  double scale = 1;       // shown values: run values times this (1e3 for seconds as ms)
  std::string unit = "ms";
  Target target;
};

void add_row(const Row& row);
// A line under the table (throughput, counts, where the time goes).
void add_note(const std::string& note);

double median(std::vector<double> values);
// Half the range of the values, as a share of their median (0.03: ±3 %).
double spread(const std::vector<double>& values);

void print_table();
