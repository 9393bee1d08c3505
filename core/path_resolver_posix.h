// File names on the host's platform ignore letter case. The tools name their
// files as the host spells them ("ZarnoObj.hdr", "Models\PLANE.IHR"), so on a
// case-sensitive file system every path is matched against what is there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zarno {

// Resolves `path` component by component: a component that exists exactly
// is kept (an exact match wins); otherwise the folder is searched for an
// entry whose name equals it ignoring ASCII case (the lowest such name in
// byte order when there are several); when there is none, that component
// and the rest are kept as given, so a file that does not exist yet is
// created under the name as given. A path that exists as given is returned
// without searching any folder.
std::string ResolveCaseInsensitive(const std::string& path);

// True when the two names are equal ignoring ASCII case.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The entry of `folder` whose name equals `name` ignoring ASCII case (the
// lowest in byte order when there are several), or nothing.
std::optional<std::string> FindEntryIgnoringCase(const std::string& folder, std::string_view name);

}  // namespace zarno
