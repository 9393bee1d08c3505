#include "skinwright/texture_id.h"

#include <limits>

namespace zarno {
namespace {

// The white space of the C library's "C" locale.
bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view FileNameOfPath(std::string_view path, char separator) {
  const size_t last = path.rfind(separator);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::optional<int32_t> TextureIdOfName(std::string_view name) {
  size_t at = 0;
  while (at < name.size() && IsScanSpace(name[at])) ++at;
  bool negative = false;
  if (at < name.size() && (name[at] == '+' || name[at] == '-')) {
    negative = name[at] == '-';
    ++at;
  }
  if (at == name.size() || !IsDigit(name[at])) return std::nullopt;
  // Accumulated as a negative number, whose range reaches INT32_MIN.
  constexpr int64_t kLowest = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  for (; at < name.size() && IsDigit(name[at]); ++at) {
    value = value * 10 - (name[at] - '0');
    if (value < kLowest) value = kLowest - 1;  // held past the limit; clamped below
  }
  if (!negative) value = -value;
  if (value < kLowest) return std::numeric_limits<int32_t>::min();
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

}  // namespace zarno
