#include "skinwright/texture_id.h"

#include "core/decimal_scanner.h"

namespace zarno {

std::string_view FileNameOfPath(std::string_view path, char separator) {
  const size_t last = path.rfind(separator);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::optional<int32_t> TextureIdOfName(std::string_view name) {
  const DecimalScan scan = ScanDecimal(name, 0, DecimalOverflow::kClamp);
  if (scan.result != ScanResult::kConverted) return std::nullopt;
  return scan.value;
}

}  // namespace zarno
