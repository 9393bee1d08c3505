// The write buffer the POSIX and Win32 files share. Writes are gathered up
// to kWriteBufferSize before they go to the system; a larger write goes
// straight through; the buffer goes to the system before anything that
// reads, moves the position, asks the size, flushes or closes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/platform.h"

namespace zarno {

// Callers write record by record, so a bigger buffer saves little.
inline constexpr size_t kWriteBufferSize = 64 * 1024;

class BufferedFile : public File {
 public:
  size_t Read(void* buffer, size_t size) final;
  bool Write(const void* data, size_t size) final;
  bool Seek(uint64_t offset) final;
  std::optional<uint64_t> Size() final;
  bool Flush() final;
  bool Close() final;

 protected:
  explicit BufferedFile(OpenMode mode) : mode_(mode) {}
  // The derived file's destructor calls this while its handle still exists.
  void CloseIfOpen() {
    if (!closed_) Close();
  }

 private:
  // The system's side, over the derived file's handle.
  virtual size_t SystemRead(uint8_t* data, size_t size) = 0;  // until `size` or the end
  virtual bool SystemWrite(const uint8_t* data, size_t size) = 0;  // all of it, or false
  virtual bool SystemSeek(uint64_t offset) = 0;
  virtual std::optional<uint64_t> SystemSize() = 0;
  virtual bool SystemSync() = 0;
  virtual bool SystemClose() = 0;

  bool WriteThrough(const uint8_t* bytes, size_t size);
  bool WritePending();

  OpenMode mode_;
  bool closed_ = false;
  std::vector<uint8_t> pending_;
  bool lostWrite_ = false;  // some written data never reached the file
};

}  // namespace zarno
