// The one case folding of the tools: the host's file names and switches
// ignore the case of ASCII letters, and of nothing else.
#pragma once

#include <string>
#include <string_view>

namespace zarno {

inline char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldAsciiCase(c);
  return folded;
}

}  // namespace zarno
