#include "rigwright/text_scanner.h"

#include <algorithm>
#include <cstdlib>

namespace zarno {
namespace {

// The longest number a conversion looks at. A longer run of digits is read
// in part; the rest is left for the next read, as a scan field width would.
constexpr size_t kMaxNumberChars = 256;

// Whitespace as the C library sees it in the "C" locale.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string TextModeContents(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

void TextScanner::SkipWhitespace() {
  while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
}

ScanResult TextScanner::ReadFloat(float& value) {
  SkipWhitespace();
  if (AtEnd()) return ScanResult::kEnd;
  size_t length = 0;
  const size_t available = std::min(text_.size() - position_, kMaxNumberChars);
  while (length < available && !IsSpace(text_[position_ + length])) ++length;
  const std::string field(text_.substr(position_, length));
  char* end = nullptr;
  const float converted = std::strtof(field.c_str(), &end);
  const size_t used = static_cast<size_t>(end - field.c_str());
  if (used == 0) return ScanResult::kNoMatch;
  position_ += used;
  value = converted;
  return ScanResult::kConverted;
}

ScanResult TextScanner::ReadInt(int32_t& value) {
  SkipWhitespace();
  const DecimalScan scan = ScanDecimal(text_, position_, DecimalOverflow::kWrap);
  if (scan.result != ScanResult::kConverted) return scan.result;
  position_ = scan.end;
  value = scan.value;
  return ScanResult::kConverted;
}

ScanResult TextScanner::ReadWord(std::string& word) {
  SkipWhitespace();
  if (AtEnd()) return ScanResult::kEnd;
  const size_t start = position_;
  while (position_ < text_.size() && !IsSpace(text_[position_])) ++position_;
  word.assign(text_.substr(start, position_ - start));
  return ScanResult::kConverted;
}

bool TextScanner::ReadLine(size_t maxChars, std::string& line) {
  if (AtEnd() || maxChars == 0) return false;
  const size_t available = std::min(text_.size() - position_, maxChars);
  size_t length = 0;
  while (length < available && text_[position_ + length] != '\n') ++length;
  if (length < available) ++length;  // the line break belongs to the line
  const std::string_view read = text_.substr(position_, length);
  position_ += length;
  line.assign(read.substr(0, read.find('\0')));
  return true;
}

void TextScanner::SkipLine() {
  while (position_ < text_.size() && text_[position_] != '\n') ++position_;
  if (position_ < text_.size()) ++position_;
}

bool TextScanner::ReadChar(char& c) {
  if (AtEnd()) return false;
  c = text_[position_++];
  return true;
}

ScanSequence& ScanSequence::Take(ScanResult result) {
  if (result == ScanResult::kConverted) {
    ++converted_;
    return *this;
  }
  if (result == ScanResult::kEnd && converted_ == 0) endedBeforeFirst_ = true;
  stopped_ = true;
  return *this;
}

ScanSequence& ScanSequence::Word() {
  if (stopped_) return *this;
  std::string dropped;
  return Take(in_.ReadWord(dropped));
}

ScanSequence& ScanSequence::Float(float& value) {
  if (stopped_) return *this;
  return Take(in_.ReadFloat(value));
}

ScanSequence& ScanSequence::Int(int32_t& value) {
  if (stopped_) return *this;
  return Take(in_.ReadInt(value));
}

int32_t ScanSequence::Result() const { return endedBeforeFirst_ ? -1 : converted_; }

}  // namespace zarno
