// A report file written line by line (ErrorList.txt, TexErrorList.txt). The
// texts are written with "\n" line breaks, which become the platform's line
// end in the file, as a text-mode stream does.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/platform.h"

namespace zarno {

class TextReport {
 public:
  // Creates the file, or empties it when it exists. IsOpen() tells whether
  // that worked.
  TextReport(Platform& platform, const std::string& path);

  bool IsOpen() const { return file_ != nullptr; }
  // Writes `text`, turning each "\n" into the platform's line end. Returns
  // false once any write failed.
  bool Write(std::string_view text);
  // Closes the file; returns false when anything written was lost.
  bool Close();

 private:
  std::unique_ptr<File> file_;
  std::string lineEnd_;
  bool failed_ = false;
};

}  // namespace zarno
