#include "core/path_resolver_posix.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "core/ascii_case.h"

namespace zarno {

namespace {

// Whether a name exists, without following a final symbolic link (a
// dangling link is still a name that is taken).
bool NameExists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsSpecialComponent(std::string_view component) {
  return component.empty() || component == "." || component == "..";
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

std::optional<std::string> FindEntryIgnoringCase(const std::string& folder, std::string_view name) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string_view entryName(entry->d_name);
    if (!EqualsIgnoringAsciiCase(entryName, name)) continue;
    if (!best || entryName < *best) best = std::string(entryName);
  }
  return best;
}

std::string ResolveCaseInsensitive(const std::string& path) {
  if (path.empty() || NameExists(path)) return path;
  std::string resolved;  // the resolved folders so far, ending in '/' unless empty
  size_t start = 0;
  while (true) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string_view component(path.data() + start, end - start);
    if (!IsSpecialComponent(component) && !NameExists(resolved + std::string(component))) {
      std::optional<std::string> match = FindEntryIgnoringCase(resolved, component);
      if (!match) return resolved + path.substr(start);
      resolved += *match;
    } else {
      resolved += component;
    }
    if (end == path.size()) return resolved;
    resolved += '/';
    start = end + 1;
  }
}

}  // namespace zarno
