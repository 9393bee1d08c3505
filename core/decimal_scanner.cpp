#include "core/decimal_scanner.h"

#include <algorithm>
#include <limits>

namespace zarno {
namespace {

bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The largest magnitude a clamped value can take: that of INT32_MIN.
constexpr uint64_t kClampMagnitude = uint64_t{1} << 31;

int32_t Clamped(uint64_t magnitude, bool negative) {
  if (negative) return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  return static_cast<int32_t>(std::min<uint64_t>(magnitude, std::numeric_limits<int32_t>::max()));
}

}  // namespace

DecimalScan ScanDecimal(std::string_view text, size_t from, DecimalOverflow overflow) {
  size_t at = from;
  while (at < text.size() && IsScanSpace(text[at])) ++at;
  if (at >= text.size()) return {ScanResult::kEnd};
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') ++at;
  if (at >= text.size() || !IsDigit(text[at])) return {ScanResult::kNoMatch};
  uint32_t wrapped = 0;
  uint64_t clamped = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const auto digit = static_cast<uint32_t>(text[at] - '0');
    wrapped = wrapped * 10 + digit;
    clamped = std::min(clamped * 10 + digit, kClampMagnitude);
  }
  const int32_t value = overflow == DecimalOverflow::kWrap
                            ? static_cast<int32_t>(negative ? 0u - wrapped : wrapped)
                            : Clamped(clamped, negative);
  return {ScanResult::kConverted, value, at};
}

}  // namespace zarno
