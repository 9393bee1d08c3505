// The stages of the progress display that the two compactions open, and the
// title each stage shows.
#pragma once

#include <cstdint>
#include <string_view>

namespace zarno {

inline constexpr int32_t kProgressStageTex = 1;  // Skinwright compacts ZarnoObj.tex
inline constexpr int32_t kProgressStageLod = 5;  // Rigwright compacts ZarnoObj.lod

// The range a progress display starts with, until its caller sets its own.
inline constexpr uint32_t kProgressInitialMinimum = 0;
inline constexpr uint32_t kProgressInitialMaximum = 100;

// The title of a stage; empty for a stage that has none.
constexpr std::string_view ProgressTitle(int32_t stage) {
  switch (stage) {
    case kProgressStageTex: return "Compacting ZarnoObj.tex File";
    case kProgressStageLod: return "Compacting ZarnoObj.lod File";
    default: return {};
  }
}

}  // namespace zarno
