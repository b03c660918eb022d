// The one table `make bench` prints: each figure beside the reference measured
// in the same run, their ratio, and the target the ratio is held against.
#pragma once

#include <map>
#include <string>
#include <vector>

// Medians in seconds, by benchmark name, filled as the benchmarks run.
std::map<std::string, double>& medians();

struct Row {
  std::string figure;     // what is measured
  std::string reference;  // what it is held against
  double figure_s = 0, reference_s = 0;  // medians; the ratio is figure / reference
  double scale = 1;       // shown values: seconds times this (1e3 ms, 1e9 ns)
  std::string unit = "ms";
  std::string target;     // e.g. "<= 1.50"; empty: reported only
  double limit = 0;       // the ratio must stay at or below it; 0: none
};

std::vector<Row>& rows();
void add_row(const Row& row);
// A line under the table (throughput, counts, notes).
void add_note(const std::string& note);

void print_table();
