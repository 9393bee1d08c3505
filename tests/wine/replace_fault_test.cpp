// Replacing the object files on Win32 with a rename that fails midway: the
// old file stays whole and in place, and a pair of files interrupted between
// its renames is finished from the journal at the next start.
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

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// ---- the injected faults ------------------------------------------------------

// The Win32 platform with one rename made to fail.
class FaultyWin32Platform : public Win32Platform {
 public:
  int failingReplace = 0;  // the number (from 1) of the rename that fails; 0: none

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    if (++replaceCalls_ == failingReplace) return false;
    return Win32Platform::ReplaceFile(from, to);
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

}  // namespace
}  // namespace zarno

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: replace_fault_test <empty working folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  zarno::SavingTheHeaderWhenTheRenameFailsKeepsTheOldFile(root);
  zarno::SavingTheHeaderReplacesItWhole(root);
  zarno::AJournalThatCannotBeStoredKeepsBothOldFiles(root);
  zarno::AnInterruptedPairIsFinishedAtTheNextStart(root);
  return zarno::FinishChecks("replace_fault_test");
}
