// What the fuzz targets share: a platform that touches nothing (every file
// written goes nowhere, every file read is missing, boxes are dropped), the
// split of an input into a mode byte and the bytes under test, and a check
// that stops the run with a message when a property fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace zarno {

// Stops the fuzzer with the failed property, so it saves the input.
inline void FuzzCheck(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", property);
  std::abort();
}

// An input: its first byte chooses how the rest is used.
struct FuzzInput {
  uint8_t mode = 0;
  std::span<const uint8_t> bytes;
};

inline FuzzInput SplitMode(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  return {data[0], std::span<const uint8_t>(data + 1, size - 1)};
}

inline std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A file that takes every write and keeps nothing.
class DiscardingFile : public File {
 public:
  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void*, size_t size) override {
    written_ += size;
    return true;
  }
  bool Seek(uint64_t) override { return true; }
  std::optional<uint64_t> Size() override { return written_; }
  bool Flush() override { return true; }
  bool Close() override { return true; }

 private:
  uint64_t written_ = 0;
};

// A platform over nothing: created files discard what they get, no file can
// be read, searches find nothing, the registry holds nothing.
class InertPlatform : public Platform {
 public:
  void ShowMessageBox(std::string_view, std::string_view, BoxIcon, bool) override {}
  void Beep() override {}
  void RequestClose() override {}
  void ProgressOpen(int32_t) override {}
  void ProgressSetRange(uint32_t) override {}
  void ProgressSetPosition(uint32_t) override {}
  void ProgressClose() override {}

  char PathSeparator() const override { return '\\'; }
  std::string_view LineEnd() const override { return "\r\n"; }
  std::optional<std::string> CurrentDirectory() override { return std::string("C:\\Orvane"); }
  bool ReadRegistryValue(const std::string&, const std::string&, std::string&) override { return false; }

  std::vector<std::string> FindFiles(const std::string&) override { return {}; }
  std::optional<uint64_t> FileSize(const std::string&) override { return std::nullopt; }
  std::unique_ptr<File> OpenFile(const std::string&, OpenMode mode) override {
    if (mode != OpenMode::kCreate) return nullptr;
    return std::make_unique<DiscardingFile>();
  }
  std::unique_ptr<FileView> ViewFile(const std::string&) override { return nullptr; }
  bool CopyFile(const std::string&, const std::string&) override { return false; }
  bool ReplaceFile(const std::string&, const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
};

}  // namespace zarno
