// Reading the plain-text install-parent files the way the host's formatted
// scan reads a text-mode stream: numbers and words separated by any
// whitespace (line breaks included), whole lines of bounded length, single
// characters. The scanner works on text held in memory and never reads past
// its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/decimal_scanner.h"

namespace zarno {

// The text as a text-mode stream delivers it: every CR LF pair becomes LF.
std::string TextModeContents(std::string_view bytes);

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return position_ >= text_.size(); }
  // Skips blanks, tabs and line breaks.
  void SkipWhitespace();

  // "%f": a decimal or hexadecimal number, "inf" or "nan" after whitespace.
  // `value` changes only when the result is kConverted.
  ScanResult ReadFloat(float& value);
  // "%d": an optionally signed decimal integer after whitespace, kept modulo
  // 2^32 when it has more digits than fit.
  ScanResult ReadInt(int32_t& value);
  // "%s": a run of non-whitespace characters after whitespace.
  ScanResult ReadWord(std::string& word);

  // Reads like fgets with room for `maxChars` characters: up to and
  // including the next line break, or `maxChars` characters, whichever comes
  // first. The line holds what a C string would hold: it ends at the first
  // NUL character. False when the text had already ended.
  bool ReadLine(size_t maxChars, std::string& line);
  // Skips up to and including the next line break.
  void SkipLine();
  // Reads one character, whatever it is; false at the end.
  bool ReadChar(char& c);

 private:
  std::string_view text_;
  size_t position_ = 0;
};

// One formatted-scan call of several conversions ("%s %d %d"): it stops at
// the first conversion that fails, and its result counts the values
// converted, or is -1 when the text ended before the first.
class ScanSequence {
 public:
  explicit ScanSequence(TextScanner& in) : in_(in) {}

  ScanSequence& Word();  // a word that is read and dropped
  ScanSequence& Float(float& value);
  ScanSequence& Int(int32_t& value);
  int32_t Result() const;

 private:
  ScanSequence& Take(ScanResult result);

  TextScanner& in_;
  int32_t converted_ = 0;
  bool stopped_ = false;
  bool endedBeforeFirst_ = false;
};

}  // namespace zarno
