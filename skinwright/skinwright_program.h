// Skinwright from its argument line to its exit code.
#pragma once

#include <string_view>

#include "core/platform.h"

namespace zarno {

inline constexpr std::string_view kSkinwrightTitle = "Skinwright";
inline constexpr std::string_view kSkinwrightStartupFailure = "Skinwright couldn't start!";

// Parses the line, resolves the folders, runs the job; returns the exit code.
int RunSkinwright(Platform& platform, std::string_view argumentLine);

}  // namespace zarno
