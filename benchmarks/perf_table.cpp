#include "benchmarks/perf_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zarno {
namespace {

using Cells = std::array<std::string, 6>;

Cells CellsOf(const TableRow& row) {
  return {row.figure, row.measured, row.baseline, row.ratio, row.goal, row.met};
}

// Text columns are aligned left, figures right.
constexpr std::array<bool, 6> kAlignLeft = {true, false, false, false, true, true};
constexpr const char* kGap = "  ";

void PrintLine(const Cells& cells, const std::array<size_t, 6>& widths) {
  std::string line;
  for (size_t c = 0; c < cells.size(); ++c) {
    const std::string padding(widths[c] - cells[c].size(), ' ');
    line += kAlignLeft[c] ? cells[c] + padding : padding + cells[c];
    if (c + 1 < cells.size()) line += kGap;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::printf("%s\n", line.c_str());
}

}  // namespace

void PrintTable(const std::vector<TableRow>& rows) {
  const Cells heading = {"figure", "measured", "baseline", "ratio", "goal", "met?"};
  std::array<size_t, 6> widths{};
  for (size_t c = 0; c < widths.size(); ++c) widths[c] = heading[c].size();
  for (const TableRow& row : rows) {
    const Cells cells = CellsOf(row);
    for (size_t c = 0; c < widths.size(); ++c) widths[c] = std::max(widths[c], cells[c].size());
  }
  PrintLine(heading, widths);
  Cells rule;
  for (size_t c = 0; c < widths.size(); ++c) rule[c] = std::string(widths[c], '-');
  PrintLine(rule, widths);
  for (const TableRow& row : rows) PrintLine(CellsOf(row), widths);
  std::fflush(stdout);
}

std::string MetText(bool met) { return met ? "yes" : "no"; }

}  // namespace zarno
