#include "core/replacement_journal.h"

#include <vector>


namespace zarno {
namespace {

// The object files whose ".new" files a start-up may find and remove.
constexpr std::string_view kObjectFileNames[] = {"ZarnoObj.hdr", "ZarnoObj.lod", "ZarnoObj.tex"};

std::string JoinPath(std::string_view folderSlash, std::string_view name) {
  return std::string(folderSlash) + std::string(name);
}

bool WriteWholeFile(Platform& platform, const std::string& path, std::string_view text) {
  std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kCreate);
  if (!file) return false;
  bool written = file->Write(text.data(), text.size()) && file->Flush();
  return file->Close() && written;
}

bool WriteJournal(Platform& platform, std::string_view folderSlash, std::span<const PendingFile> files) {
  std::string text;
  for (const PendingFile& file : files) text += file.name + "\n";
  std::string journal = JoinPath(folderSlash, kJournalFileName);
  std::string journalNew = journal + std::string(kNewFileSuffix);
  if (WriteWholeFile(platform, journalNew, text) && platform.ReplaceFile(journalNew, journal)) return true;
  platform.RemoveFile(journalNew);
  return false;
}

// The names a journal lists; nothing when it cannot be read. Names holding a
// separator are refused, so a damaged journal can only touch object files.
std::optional<std::vector<std::string>> ReadJournal(Platform& platform, const std::string& path) {
  std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kRead);
  if (!file) return std::nullopt;
  std::optional<uint64_t> size = file->Size();
  if (!size || *size > 4096) return std::nullopt;
  std::string text(static_cast<size_t>(*size), '\0');
  if (file->Read(text.data(), text.size()) != text.size()) return std::nullopt;
  std::vector<std::string> names;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) return std::nullopt;  // cut short: not a journal we finished
    std::string name = text.substr(start, end - start);
    if (name.empty() || name.find_first_of("/\\") != std::string::npos) return std::nullopt;
    names.push_back(name);
    start = end + 1;
  }
  return names;
}

bool FinishRenames(Platform& platform, std::string_view folderSlash, const std::vector<std::string>& names) {
  bool finished = true;
  for (const std::string& name : names) {
    std::string target = JoinPath(folderSlash, name);
    std::string pending = NewFilePath(folderSlash, name);
    if (platform.FileSize(pending) && !platform.ReplaceFile(pending, target)) finished = false;
  }
  return finished;
}

}  // namespace

std::string NewFilePath(std::string_view folderSlash, std::string_view name) {
  return JoinPath(folderSlash, name) + std::string(kNewFileSuffix);
}

bool ReplaceFilesTogether(Platform& platform, std::string_view folderSlash,
                          std::span<const PendingFile> files) {
  if (!WriteJournal(platform, folderSlash, files)) {
    for (const PendingFile& file : files) platform.RemoveFile(NewFilePath(folderSlash, file.name));
    return false;
  }
  std::vector<std::string> names;
  for (const PendingFile& file : files) names.push_back(file.name);
  if (!FinishRenames(platform, folderSlash, names)) return false;
  platform.RemoveFile(JoinPath(folderSlash, kJournalFileName));
  return true;
}

bool RecoverReplacement(Platform& platform, std::string_view folderSlash) {
  std::string journal = JoinPath(folderSlash, kJournalFileName);
  platform.RemoveFile(journal + std::string(kNewFileSuffix));
  if (platform.FileSize(journal)) {
    std::optional<std::vector<std::string>> names = ReadJournal(platform, journal);
    if (!names || !FinishRenames(platform, folderSlash, *names)) return false;
    platform.RemoveFile(journal);
    return true;
  }
  for (std::string_view name : kObjectFileNames) {
    std::string pending = NewFilePath(folderSlash, name);
    if (platform.FileSize(pending)) platform.RemoveFile(pending);
  }
  return true;
}

}  // namespace zarno
