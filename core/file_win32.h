// Files on Win32: open files over a handle and read-only views through a
// file mapping. Paths go to the ANSI functions exactly as given.
#pragma once

#include <memory>
#include <string>

#include "core/platform.h"

namespace zarno {

// Opens a regular file (never a folder or a device); nothing when it cannot
// be opened. kCreate creates the file or empties it.
std::unique_ptr<File> OpenWin32File(const std::string& path, OpenMode mode);

// Maps a whole regular file read-only; nothing when it cannot be mapped.
// An empty file gives an empty view.
std::unique_ptr<FileView> ViewWin32File(const std::string& path);

}  // namespace zarno
