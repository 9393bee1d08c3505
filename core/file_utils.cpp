#include "core/file_utils.h"

#include <limits>

namespace zarno {

bool ReadOpenedFile(File& file, std::vector<uint8_t>& bytes) {
  const std::optional<uint64_t> size = file.Size();
  if (!size || *size > std::numeric_limits<size_t>::max()) return false;
  bytes.resize(static_cast<size_t>(*size));
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t got = file.Read(bytes.data() + done, bytes.size() - done);
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return done == static_cast<size_t>(*size);
}

bool ReadWholeFile(Platform& platform, const std::string& path, std::vector<uint8_t>& bytes) {
  const std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kRead);
  return file && ReadOpenedFile(*file, bytes);
}

bool FinishDurably(File& file, bool written) {
  const bool flushed = written && file.Flush();
  const bool closed = file.Close();
  return flushed && closed;
}

bool WriteFileDurably(Platform& platform, const std::string& path, std::span<const uint8_t> bytes) {
  std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kCreate);
  if (!file) return false;
  const bool written = FinishDurably(*file, bytes.empty() || file->Write(bytes.data(), bytes.size()));
  file.reset();
  if (!written) platform.RemoveFile(path);
  return written;
}

bool ReplaceFileContents(Platform& platform, const std::string& path,
                         std::span<const uint8_t> bytes) {
  const std::string tempPath = path + ".new";
  if (!WriteFileDurably(platform, tempPath, bytes)) return false;
  if (platform.ReplaceFile(tempPath, path)) return true;
  platform.RemoveFile(tempPath);
  return false;
}

bool FileHasContent(Platform& platform, const std::string& path) {
  const std::optional<uint64_t> size = platform.FileSize(path);
  return size && *size > 0;
}

}  // namespace zarno
