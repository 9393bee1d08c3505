// The one decimal scanner of the tools: a "%d" conversion as the C library
// reads it from the argument lines, the install-parent files and the texture
// file names. What a number with more digits than 32 bits hold becomes is the
// caller's choice: the argument lines and file names hold it at the nearest
// limit, the install-parent files keep it modulo 2^32 as the host does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zarno {

// How one conversion ended.
enum class ScanResult {
  kConverted,  // a value was read
  kNoMatch,    // the next characters are not such a value; nothing was taken
  kEnd,        // the text ended before the value began
};

enum class DecimalOverflow { kClamp, kWrap };

struct DecimalScan {
  ScanResult result = ScanResult::kEnd;
  int32_t value = 0;  // set when kConverted
  size_t end = 0;     // where the digits end, when kConverted
};

// Reads, from `from` on, optional white space ("C" locale), an optional
// sign and one or more decimal digits.
DecimalScan ScanDecimal(std::string_view text, size_t from, DecimalOverflow overflow);

}  // namespace zarno
