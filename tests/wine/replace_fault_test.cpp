// Replacing the object files on Win32 with failures injected: a write, flush
// or rename that fails, or a target held open by another program, leaves
// the old file whole and in place, and a replacement never passes through a
// moment in which the target's name is missing.
//
//   replace_fault_test <empty working folder>
#include <cstdint>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/header_database.h"
#include "core/header_file.h"
#include "core/platform_win32.h"
#include "core/replacement_journal.h"
#include "tests/wine/raw_files_win32.h"
#include "tests/wine/win32_check.h"

namespace zarno {
namespace {

constexpr int kRaceReplacements = 300;

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// ---- the injected faults ------------------------------------------------------

// Passes every call on to the real file, except Flush, which fails.
class UnflushableFile : public File {
 public:
  explicit UnflushableFile(std::unique_ptr<File> file) : file_(std::move(file)) {}
  size_t Read(void* buffer, size_t size) override { return file_->Read(buffer, size); }
  bool Write(const void* data, size_t size) override { return file_->Write(data, size); }
  bool Seek(uint64_t offset) override { return file_->Seek(offset); }
  std::optional<uint64_t> Size() override { return file_->Size(); }
  bool Flush() override { return false; }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<File> file_;
};

// The Win32 platform with one rename or every flush made to fail.
class FaultyWin32Platform : public Win32Platform {
 public:
  int failingReplace = 0;  // the number (from 1) of the rename that fails; 0: none
  bool flushFails = false;

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    if (++replaceCalls_ == failingReplace) return false;
    return Win32Platform::ReplaceFile(from, to);
  }
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> file = Win32Platform::OpenFile(path, mode);
    if (file && flushFails) return std::make_unique<UnflushableFile>(std::move(file));
    return file;
  }

 private:
  int replaceCalls_ = 0;
};

struct Folder {
  std::string slash;  // the folder followed by a backslash
  std::string Path(const std::string& name) const { return slash + name; }
};

Folder FreshFolder(const std::string& root, const std::string& name) {
  Folder folder{root + "\\" + name + "\\"};
  ::CreateDirectoryA((root + "\\" + name).c_str(), nullptr);
  return folder;
}

std::vector<uint8_t> NewHeaderBytes(HeaderDatabase& db) { return WriteHeaderDatabase(db); }

// ---- ZarnoObj.hdr, replaced through one rename ---------------------------------

void SavingTheHeaderWhenTheRenameFailsKeepsTheOldFile(const std::string& root) {
  const Folder folder = FreshFolder(root, "rename_fails");
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr"), "old header"));
  FaultyWin32Platform platform;
  platform.failingReplace = 1;
  HeaderDatabase db(kRigwrightLimits);
  db.leadWord = 0x01020304;
  CHECK(!SaveHeaderDatabase(platform, folder.Path("ZarnoObj.hdr"), db));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("old header"));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
}

void SavingTheHeaderWhenTheFlushFailsKeepsTheOldFile(const std::string& root) {
  const Folder folder = FreshFolder(root, "flush_fails");
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr"), "old header"));
  FaultyWin32Platform platform;
  platform.flushFails = true;
  HeaderDatabase db(kRigwrightLimits);
  CHECK(!SaveHeaderDatabase(platform, folder.Path("ZarnoObj.hdr"), db));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("old header"));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
}

// Another program holds the header open without letting it be replaced: the
// system refuses the rename itself.
void SavingTheHeaderWhileItIsLockedKeepsTheOldFile(const std::string& root) {
  const Folder folder = FreshFolder(root, "locked");
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr"), "old header"));
  HANDLE lock = ::CreateFileA(folder.Path("ZarnoObj.hdr").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  CHECK(lock != INVALID_HANDLE_VALUE);
  Win32Platform platform;
  HeaderDatabase db(kRigwrightLimits);
  CHECK(!SaveHeaderDatabase(platform, folder.Path("ZarnoObj.hdr"), db));
  ::CloseHandle(lock);
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("old header"));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
}

void SavingTheHeaderReplacesItWhole(const std::string& root) {
  const Folder folder = FreshFolder(root, "saved");
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr"), "old header"));
  Win32Platform platform;
  HeaderDatabase db(kRigwrightLimits);
  db.leadWord = 0x01020304;
  CHECK(SaveHeaderDatabase(platform, folder.Path("ZarnoObj.hdr"), db));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), AsText(NewHeaderBytes(db)));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
}

// ---- a store and ZarnoObj.hdr, replaced together --------------------------------

void WriteCompactionFiles(const Folder& folder) {
  CHECK(WriteRaw(folder.Path("ZarnoObj.lod"), "old store"));
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr"), "old header"));
  CHECK(WriteRaw(folder.Path("ZarnoObj.lod.new"), "new store"));
  CHECK(WriteRaw(folder.Path("ZarnoObj.hdr.new"), "new header"));
}

const PendingFile kCompactedFiles[] = {{"ZarnoObj.lod"}, {"ZarnoObj.hdr"}};

void AJournalThatCannotBeStoredKeepsBothOldFiles(const std::string& root) {
  const Folder folder = FreshFolder(root, "journal_fails");
  WriteCompactionFiles(folder);
  FaultyWin32Platform platform;
  platform.failingReplace = 1;  // the journal's own rename
  CHECK(!ReplaceFilesTogether(platform, folder.slash, kCompactedFiles));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.lod")), std::string("old store"));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("old header"));
  CHECK(!Exists(folder.Path("ZarnoObj.lod.new")));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
  CHECK(!Exists(folder.Path("ZarnoObj.journal")));
}

// The store is replaced, the header's rename fails: both names still hold a
// whole file, and the next start finishes the step from the journal.
void AnInterruptedPairIsFinishedAtTheNextStart(const std::string& root) {
  const Folder folder = FreshFolder(root, "second_rename_fails");
  WriteCompactionFiles(folder);
  FaultyWin32Platform platform;
  platform.failingReplace = 3;  // journal, store, then the header
  CHECK(!ReplaceFilesTogether(platform, folder.slash, kCompactedFiles));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.lod")), std::string("new store"));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("old header"));
  CHECK(Exists(folder.Path("ZarnoObj.journal")));

  Win32Platform restarted;
  CHECK(RecoverReplacement(restarted, folder.slash));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.lod")), std::string("new store"));
  CHECK_EQ(ReadRaw(folder.Path("ZarnoObj.hdr")), std::string("new header"));
  CHECK(!Exists(folder.Path("ZarnoObj.journal")));
  CHECK(!Exists(folder.Path("ZarnoObj.hdr.new")));
}

// ---- no moment without the file -------------------------------------------------

struct Watcher {
  std::string path;
  volatile LONG stop = 0;
  LONG opened = 0;
  LONG missing = 0;
};

DWORD WINAPI WatchTarget(void* data) {
  auto& watcher = *static_cast<Watcher*>(data);
  while (::InterlockedCompareExchange(&watcher.stop, 0, 0) == 0) {
    HANDLE file = ::CreateFileA(watcher.path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
      ++watcher.opened;
    } else if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
      ++watcher.missing;
    }
  }
  return 0;
}

void TheTargetNeverGoesMissingWhileItIsReplaced(const std::string& root) {
  const Folder folder = FreshFolder(root, "race");
  Watcher watcher{folder.Path("ZarnoObj.hdr")};
  CHECK(WriteRaw(watcher.path, "version 0"));
  HANDLE thread = ::CreateThread(nullptr, 0, WatchTarget, &watcher, 0, nullptr);
  CHECK(thread != nullptr);
  Win32Platform platform;
  int replaced = 0;
  for (int i = 1; i <= kRaceReplacements; ++i) {
    const std::vector<uint8_t> bytes(static_cast<size_t>(i), static_cast<uint8_t>(i));
    if (ReplaceFileContents(platform, watcher.path, bytes)) ++replaced;
  }
  ::InterlockedExchange(&watcher.stop, 1);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  CHECK(replaced > 0);
  CHECK(watcher.opened > 0);
  CHECK_EQ(watcher.missing, 0);
  std::printf("race: %d of %d replacements, target opened %ld times, missing %ld times\n", replaced,
              kRaceReplacements, watcher.opened, watcher.missing);
}

}  // namespace
}  // namespace zarno

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: replace_fault_test <empty working folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  zarno::SavingTheHeaderWhenTheRenameFailsKeepsTheOldFile(root);
  zarno::SavingTheHeaderWhenTheFlushFailsKeepsTheOldFile(root);
  zarno::SavingTheHeaderWhileItIsLockedKeepsTheOldFile(root);
  zarno::SavingTheHeaderReplacesItWhole(root);
  zarno::AJournalThatCannotBeStoredKeepsBothOldFiles(root);
  zarno::AnInterruptedPairIsFinishedAtTheNextStart(root);
  zarno::TheTargetNeverGoesMissingWhileItIsReplaced(root);
  return zarno::FinishChecks("replace_fault_test");
}
