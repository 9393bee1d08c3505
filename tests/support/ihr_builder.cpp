#include "tests/support/ihr_builder.h"

#include <cstdio>
#include <cstdlib>
#include <span>

#include "tests/support/header_builder.h"

namespace zarno {
namespace {

class Lines {
 public:
  explicit Lines(bool crlf) : lineEnd_(crlf ? "\r\n" : "\n") {}
  void Add(const std::string& line) { text_ += line + lineEnd_; }
  std::string Take() { return std::move(text_); }

 private:
  std::string lineEnd_;
  std::string text_;
};

std::string Labelled(const char* label, int64_t value) {
  return std::string(label) + " " + std::to_string(value);
}

std::string PointLine(const std::array<float, 3>& point) {
  return NumberText(point[0]) + " " + NumberText(point[1]) + " " + NumberText(point[2]);
}

void AddLodEntry(Lines& lines, int32_t form, const IhrLodEntry& entry) {
  lines.Add(NumberText(entry.distance));
  if (form == 0) {
    lines.Add(std::to_string(entry.lodNumber));
    lines.Add(entry.model);
  } else {
    lines.Add(std::to_string(entry.lodNumber) + " " + entry.model);
  }
}

}  // namespace

std::string NumberText(float value) {
  char text[48];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

std::string BuildIhrText(const IhrSpec& recipe) {
  Lines lines(recipe.crlf);
  lines.Add(recipe.versionLine);
  lines.Add(recipe.name);
  lines.Add("0 0 " + std::to_string(recipe.parentIndex));
  std::string hitbox = "Hitbox";
  for (float value : recipe.hitbox) hitbox += " " + NumberText(value);
  lines.Add(hitbox);
  lines.Add("Params " + std::to_string(recipe.hostParam1) + " " + std::to_string(recipe.hostParam2));
  lines.Add(Labelled("Param3", recipe.hostParam3));
  lines.Add(Labelled("Dynamics", recipe.dynamicCount.value_or(static_cast<int64_t>(recipe.dynamicPoints.size()))));
  lines.Add(Labelled("LODs", recipe.lodRefCount.value_or(static_cast<int64_t>(recipe.lods.size()))));
  lines.Add(Labelled("Param4", recipe.hostParam4));
  lines.Add(Labelled("Param5", recipe.hostParam5));
  lines.Add(Labelled("Slots", recipe.slotCount.value_or(static_cast<int64_t>(recipe.slots.size()))));
  lines.Add(std::to_string(recipe.lodEntryForm));
  for (const auto& point : recipe.dynamicPoints) lines.Add(PointLine(point));
  for (const auto& point : recipe.slots) lines.Add(PointLine(point));
  for (const IhrLodEntry& entry : recipe.lods) AddLodEntry(lines, recipe.lodEntryForm, entry);
  return lines.Take();
}

bool WriteIhrFile(const std::filesystem::path& path, const IhrSpec& recipe) {
  const std::string text = BuildIhrText(recipe);
  return WriteFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace zarno
