#include "core/text_report.h"

namespace zarno {

TextReport::TextReport(Platform& platform, const std::string& path)
    : file_(platform.OpenFile(path, OpenMode::kCreate)), lineEnd_(platform.LineEnd()) {}

bool TextReport::Write(std::string_view text) {
  if (!file_) return false;
  std::string translated;
  translated.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') {
      translated += lineEnd_;
    } else {
      translated += c;
    }
  }
  if (!file_->Write(translated.data(), translated.size())) failed_ = true;
  return !failed_;
}

bool TextReport::Close() {
  if (!file_) return false;
  bool closed = file_->Close();
  file_.reset();
  return closed && !failed_;
}

}  // namespace zarno
