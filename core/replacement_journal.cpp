#include "core/replacement_journal.h"

#include <optional>
#include <vector>

#include "core/file_utils.h"
#include "core/install_paths.h"

namespace zarno {
namespace {

// The object files whose ".new" files a start-up may find and remove.
constexpr std::string_view kObjectFileNames[] = {"ZarnoObj.hdr", "ZarnoObj.lod", "ZarnoObj.tex"};
// The DDS copies waiting under their ".new" names, within the DDS folder.
constexpr std::string_view kPendingDdsCopyMask = "*.dds.new";
// The extension of the DDS copies a journal may list.
constexpr std::string_view kDdsCopyExtension = ".dds";
// A journal lists at most one name per texture record, each a few bytes.
constexpr uint64_t kMaxJournalSize = uint64_t{1} << 20;

std::string JoinPath(std::string_view folderSlash, std::string_view name) {
  return std::string(folderSlash) + std::string(name);
}

std::string JournalPath(std::string_view folderSlash) { return JoinPath(folderSlash, kJournalFileName); }

// Where the journal is written before it counts, and where it goes once its
// replacement is done.
std::string UncountedJournalPath(std::string_view folderSlash) {
  return JournalPath(folderSlash) + std::string(kNewFileSuffix);
}

bool WriteJournal(Platform& platform, std::string_view folderSlash, std::span<const PendingFile> files) {
  std::string text;
  for (const PendingFile& file : files) text += file.name + "\n";
  const std::string journal = JournalPath(folderSlash);
  const std::string journalNew = UncountedJournalPath(folderSlash);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (!WriteFileDurably(platform, journalNew, bytes)) return false;
  if (platform.ReplaceFile(journalNew, journal)) return true;
  platform.RemoveFile(journalNew);
  return false;
}

// Takes away the journal of a finished replacement. Renaming it is made
// durable at once, unlike a removal; when it cannot be renamed, it is
// removed, and a start that still finds it finds its renames done.
void RetireJournal(Platform& platform, std::string_view folderSlash) {
  const std::string journal = JournalPath(folderSlash);
  const std::string retired = UncountedJournalPath(folderSlash);
  platform.RemoveFile(platform.ReplaceFile(journal, retired) ? retired : journal);
}

// Removes the ".new" files of the object files, the DDS copies and the
// journal: what is left of a replacement that never got its journal, or
// that is done.
void RemoveLeftOvers(Platform& platform, std::string_view folderSlash) {
  for (std::string_view name : kObjectFileNames) {
    std::string pending = NewFilePath(folderSlash, name);
    if (platform.FileSize(pending)) platform.RemoveFile(pending);
  }
  const std::string ddsFolder = JoinPath(folderSlash, kDdsFolderName) + platform.PathSeparator();
  for (const std::string& name : platform.FindFiles(ddsFolder + std::string(kPendingDdsCopyMask))) {
    platform.RemoveFile(ddsFolder + name);
  }
  platform.RemoveFile(UncountedJournalPath(folderSlash));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (IsSeparator(c)) return false;
  }
  return true;
}

bool IsObjectFileName(std::string_view name) {
  for (std::string_view objectFile : kObjectFileNames) {
    if (name == objectFile) return true;
  }
  return false;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A name a journal may list: one of the object files, or a DDS copy in the
// DDS folder. Anything else is refused, so a damaged journal can only touch
// those files.
bool IsJournalName(std::string_view name) {
  if (IsObjectFileName(name)) return true;
  const std::string_view folder = kDdsFolderName;
  return name.size() > folder.size() + 1 && name.substr(0, folder.size()) == folder &&
         IsSeparator(name[folder.size()]) && IsPlainName(name.substr(folder.size() + 1)) &&
         EndsWith(name, kDdsCopyExtension);
}

// The names a journal lists; nothing when it cannot be read or lists a name
// it may not.
std::optional<std::vector<std::string>> ReadJournal(Platform& platform, const std::string& path) {
  std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kRead);
  if (!file) return std::nullopt;
  std::optional<uint64_t> size = file->Size();
  if (!size || *size > kMaxJournalSize) return std::nullopt;
  std::string text(static_cast<size_t>(*size), '\0');
  if (file->Read(text.data(), text.size()) != text.size()) return std::nullopt;
  std::vector<std::string> names;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) return std::nullopt;  // cut short: not a journal we finished
    std::string name = text.substr(start, end - start);
    if (!IsJournalName(name)) return std::nullopt;
    names.push_back(name);
    start = end + 1;
  }
  return names;
}

// Renames every listed ".new" file over its target. While a run replaces
// its files every ".new" file is there, so a failed rename is a failure.
// After an interruption some may have been renamed already: a failed rename
// is then done all the same when its ".new" file is gone. (Asking first
// instead would let a failed question pass for a finished rename, and the
// journal would go with a file not replaced.)
// Returns the first target that could not be replaced, or nothing.
std::optional<std::string> FinishRenames(Platform& platform, std::string_view folderSlash,
                                         const std::vector<std::string>& names, bool someMayBeDone) {
  std::optional<std::string> failed;
  for (const std::string& name : names) {
    std::string target = JoinPath(folderSlash, name);
    std::string pending = NewFilePath(folderSlash, name);
    if (platform.ReplaceFile(pending, target)) continue;
    if ((!someMayBeDone || platform.FileSize(pending)) && !failed) failed = target;
  }
  return failed;
}

// Whether every target that is there may be replaced. A read-only file
// (or a folder) in a target's place would stop the renames half way, with
// some files replaced and a journal that no start could finish.
// Returns the first target that may not be replaced, or nothing.
std::optional<std::string> TargetThatCannotBeReplaced(Platform& platform, std::string_view folderSlash,
                                                      std::span<const PendingFile> files) {
  for (const PendingFile& file : files) {
    std::string target = JoinPath(folderSlash, file.name);
    std::unique_ptr<File> opened = platform.OpenFile(target, OpenMode::kUpdate);
    if (opened) {
      opened->Close();
    } else if (platform.FileSize(target)) {
      return target;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string NewFilePath(std::string_view folderSlash, std::string_view name) {
  return JoinPath(folderSlash, name) + std::string(kNewFileSuffix);
}

std::string CannotWriteMessage(Platform& platform, const std::string& path) {
  const std::string name = path.substr(path.find_last_of(platform.PathSeparator()) + 1);
  const std::string_view why = platform.InUseByAnotherProgram(path) ? " is in use by another program" : "";
  return "Can not write " + name + ": " + path + std::string(why);
}

bool ReplaceFilesTogether(Platform& platform, std::string_view folderSlash,
                          std::span<const PendingFile> files, std::string* failedPath) {
  std::optional<std::string> failed = TargetThatCannotBeReplaced(platform, folderSlash, files);
  if (!failed && !WriteJournal(platform, folderSlash, files)) failed = JournalPath(folderSlash);
  if (failed) {
    for (const PendingFile& file : files) platform.RemoveFile(NewFilePath(folderSlash, file.name));
    if (failedPath) *failedPath = *failed;
    return false;
  }
  std::vector<std::string> names;
  for (const PendingFile& file : files) names.push_back(file.name);
  failed = FinishRenames(platform, folderSlash, names, false);
  if (failed) {
    if (failedPath) *failedPath = *failed;
    return false;
  }
  RetireJournal(platform, folderSlash);
  return true;
}

bool RecoverReplacement(Platform& platform, std::string_view folderSlash) {
  const std::string journal = JournalPath(folderSlash);
  if (platform.FileSize(journal)) {
    std::optional<std::vector<std::string>> names = ReadJournal(platform, journal);
    if (!names || FinishRenames(platform, folderSlash, *names, true)) return false;
    RetireJournal(platform, folderSlash);
  }
  RemoveLeftOvers(platform, folderSlash);
  return true;
}

}  // namespace zarno
