// Whole-file helpers over the Platform interface: reading a file at once,
// replacing a file's contents atomically, and the size query of the host's
// file-size helper.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/platform.h"

namespace zarno {

// Reads a file that was just opened (so it stands at its start) whole.
// False when fewer bytes arrive than its size announced.
bool ReadOpenedFile(File& file, std::vector<uint8_t>& bytes);

// Reads a whole file. False when it cannot be opened or read whole.
bool ReadWholeFile(Platform& platform, const std::string& path, std::vector<uint8_t>& bytes);

// Ends the writing of `file`: when `written` (the writes succeeded), pushes
// them to the disk; closes it either way. True when all three succeeded.
bool FinishDurably(File& file, bool written);

// Creates `path` (emptying a file of that name), writes `bytes`, pushes them
// to the disk and closes the file. On any failure the file is removed.
bool WriteFileDurably(Platform& platform, const std::string& path, std::span<const uint8_t> bytes);

// Writes `bytes` to `path` + ".new", then renames that over `path`. On any
// failure the temporary file is removed and `path` is left as it was.
bool ReplaceFileContents(Platform& platform, const std::string& path,
                         std::span<const uint8_t> bytes);

// Whether `path` names a file with bytes in it. Asked after a file could not
// be opened or read whole, it tells a failure to read a file that is there
// (which must not pass for a missing or empty one) from a file that is
// missing, empty or a folder.
bool FileHasContent(Platform& platform, const std::string& path);

}  // namespace zarno
