// The fixture kit's install-parent files: an IhrSpec describes one file the
// way a model author writes it, and BuildIhrText renders it line by line,
// with either LOD entry form and either line break.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zarno {

struct IhrLodEntry {
  float distance = 1000.0f;
  int32_t lodNumber = -1;
  // Form 0: the model file name line. Other forms: the word after the number.
  std::string model = "model.3ds";
};

struct IhrSpec {
  std::string versionLine = "2.0";
  std::string name = "Sample";
  int32_t parentIndex = 1;
  std::array<float, 7> hitbox{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f};
  int64_t hostParam1 = 100;
  int64_t hostParam2 = 200;
  int64_t hostParam3 = 3;
  int64_t hostParam4 = 4;
  int64_t hostParam5 = 5;
  std::vector<std::array<float, 3>> dynamicPoints;
  std::vector<std::array<float, 3>> slots;
  // Counts written instead of the list sizes, when set.
  std::optional<int64_t> dynamicCount;
  std::optional<int64_t> lodRefCount;
  std::optional<int64_t> slotCount;
  int32_t lodEntryForm = 0;
  std::vector<IhrLodEntry> lods;
  bool crlf = false;  // end lines with CR LF instead of LF
};

// A number as a model author writes it: the shortest text that reads back
// as the same float ("1000", "2.5", "-0.125").
std::string NumberText(float value);

std::string BuildIhrText(const IhrSpec& recipe);

// Writes the file; false when it cannot be written.
bool WriteIhrFile(const std::filesystem::path& path, const IhrSpec& recipe);

}  // namespace zarno
