// Rigwright from its argument line to its exit code.
#pragma once

#include <string_view>

#include "core/platform.h"

namespace zarno {

inline constexpr std::string_view kRigwrightTitle = "Rigwright";
inline constexpr std::string_view kRigwrightStartupFailure = "Rigwright couldn't start!";

// Parses the line, resolves the folders, runs the job; returns the exit code.
int RunRigwright(Platform& platform, std::string_view argumentLine);

}  // namespace zarno
