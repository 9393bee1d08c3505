#include <cstdio>
#include <cstdlib>

#include "tests/support/kit.h"

namespace zarno {
std::string NumberText(float value) {
  char text[48];
  for (int digits = 1; digits <= 9; ++digits) {
    if (std::snprintf(text, sizeof text, "%.*g", digits, double(value)); std::strtof(text, nullptr) == value) break;
  }
  return text;
}
std::string BuildIhrText(const IhrSpec& r) {
  const std::string end = r.crlf ? "\r\n" : "\n";
  const auto numbers = [](const auto& values, std::string text) {
    for (float value : values) text += " " + NumberText(value);
    return text;
  };
  const auto count = [](std::optional<int64_t> n, size_t size) { return std::to_string(n.value_or(int64_t(size))); };
  std::string text = r.versionLine + end + r.name + end + "0 0 " + std::to_string(r.parentIndex) + end + 
                     numbers(r.hitbox, "Hitbox") + end + "Params " + std::to_string(r.hostParam1) + " " +
                     std::to_string(r.hostParam2) + end + "Param3 " + std::to_string(r.hostParam3) + end + "Dynamics " +
                     count(r.dynamicCount, r.dynamicPoints.size()) + end + "LODs " + count(r.lodRefCount, r.lods.size()) +
                     end + "Param4 " + std::to_string(r.hostParam4) + end + "Param5 " + std::to_string(r.hostParam5) + end +
                     "Slots " + count(r.slotCount, r.slots.size()) + end + std::to_string(r.lodEntryForm) + end;
  for (const auto* list : {&r.dynamicPoints, &r.slots}) for (const auto& point : *list) text += numbers(point, "").substr(1) + end;
  for (const IhrLodEntry& e : r.lods) {
    text += NumberText(e.distance) + end + std::to_string(e.lodNumber) + (r.lodEntryForm == 0 ? end : " ") + e.model + end;
  }
  return text;
}
}  // namespace zarno
