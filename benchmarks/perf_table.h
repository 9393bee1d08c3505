// The performance suite's one table: a row per figure, each with what was
// measured, the baseline measured beside it in the same run, their ratio, the
// goal and whether it is met.
#pragma once

#include <string>
#include <vector>

namespace zarno {

struct TableRow {
  std::string figure;
  std::string measured;
  std::string baseline;
  std::string ratio;
  std::string goal;
  std::string met;  // "yes", "no", or "-" for a figure without a goal
};

// Prints the rows as one aligned table with a heading line.
void PrintTable(const std::vector<TableRow>& rows);

// "yes" or "no".
std::string MetText(bool met);

}  // namespace zarno
