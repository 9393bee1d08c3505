#include "core/replacement_journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

// An object folder holding ZarnoObj.hdr and ZarnoObj.lod, old contents.
class ReplacementJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("ZarnoObj.hdr", "old header");
    Put("ZarnoObj.lod", "old store");
  }

  void Put(const std::string& name, std::string_view text) { ASSERT_TRUE(WriteFile(folder_ / name, Text(text))); }
  std::string Get(const std::string& name) const { return ReadFileText(folder_ / name); }
  std::string Slash() const { return folder_.Path().string() + "/"; }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  const std::array<PendingFile, 2> kBoth = {PendingFile{"ZarnoObj.lod"}, PendingFile{"ZarnoObj.hdr"}};

  TempFolder folder_;
  RecordingPlatform platform_;
};

TEST_F(ReplacementJournalTest, ReplacesBothFilesAndLeavesNothingElse) {
  Put("ZarnoObj.lod.new", "new store");
  Put("ZarnoObj.hdr.new", "new header");
  ASSERT_TRUE(ReplaceFilesTogether(platform_, Slash(), kBoth));
  EXPECT_EQ(Get("ZarnoObj.lod"), "new store");
  EXPECT_EQ(Get("ZarnoObj.hdr"), "new header");
  EXPECT_EQ(Names(), (std::vector<std::string>{"ZarnoObj.hdr", "ZarnoObj.lod"}));
}

// The journal of a finished replacement is renamed away before it is
// removed: the rename reaches the disk at once, so the journal cannot come
// back after a power failure and adopt the ".new" files of a later run.
TEST_F(ReplacementJournalTest, AFinishedJournalIsRenamedAwayBeforeItIsRemoved) {
  Put("ZarnoObj.lod.new", "new store");
  Put("ZarnoObj.hdr.new", "new header");
  ASSERT_TRUE(ReplaceFilesTogether(platform_, Slash(), kBoth));
  const std::vector<FileOperationRecord>& operations = platform_.FileOperations();
  ASSERT_GE(operations.size(), 4u);
  const std::vector<FileOperationRecord> last(operations.end() - 4, operations.end());
  EXPECT_EQ(last, (std::vector<FileOperationRecord>{
                      {FileOperation::kReplaceFile, Slash() + "ZarnoObj.lod.new", Slash() + "ZarnoObj.lod"},
                      {FileOperation::kReplaceFile, Slash() + "ZarnoObj.hdr.new", Slash() + "ZarnoObj.hdr"},
                      {FileOperation::kReplaceFile, Slash() + "ZarnoObj.journal", Slash() + "ZarnoObj.journal.new"},
                      {FileOperation::kRemoveFile, Slash() + "ZarnoObj.journal.new", ""},
                  }));
}

TEST_F(ReplacementJournalTest, AJournalThatCannotBeRenamedAwayIsRemoved) {
  Put("ZarnoObj.lod.new", "new store");
  Put("ZarnoObj.hdr.new", "new header");
  // The file operations: 2 target checks (open each), the journal written and
  // renamed in (2), the two renames (2); the 7th renames the journal away.
  platform_.FailFileOperation(7);
  ASSERT_TRUE(ReplaceFilesTogether(platform_, Slash(), kBoth));
  EXPECT_EQ(platform_.FileOperations()[6].operation, FileOperation::kReplaceFile);
  EXPECT_EQ(platform_.FileOperations()[6].path, Slash() + "ZarnoObj.journal");
  EXPECT_EQ(platform_.FileOperations().back(),
            (FileOperationRecord{FileOperation::kRemoveFile, Slash() + "ZarnoObj.journal", ""}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"ZarnoObj.hdr", "ZarnoObj.lod"}));
}

// A retired journal that a crash left behind is no journal: the ".new"
// files beside it come from an interrupted later write and are thrown away.
TEST_F(ReplacementJournalTest, ARetiredJournalAdoptsNoFile) {
  Put("ZarnoObj.journal.new", "ZarnoObj.lod\nZarnoObj.hdr\n");
  Put("ZarnoObj.hdr.new", "half a header");
  ASSERT_TRUE(RecoverReplacement(platform_, Slash()));
  EXPECT_EQ(Get("ZarnoObj.hdr"), "old header");
  EXPECT_EQ(Names(), (std::vector<std::string>{"ZarnoObj.hdr", "ZarnoObj.lod"}));
}

// After a crash between the two renames: the store is new, the header is
// still waiting. A ".new" file the journal does not list is thrown away.
TEST_F(ReplacementJournalTest, AnInterruptedReplacementIsFinishedAndTheRestThrownAway) {
  Put("ZarnoObj.lod", "new store");
  Put("ZarnoObj.hdr.new", "new header");
  Put("ZarnoObj.tex.new", "stray");
  Put("ZarnoObj.journal", "ZarnoObj.lod\nZarnoObj.hdr\n");
  ASSERT_TRUE(RecoverReplacement(platform_, Slash()));
  EXPECT_EQ(Get("ZarnoObj.lod"), "new store");
  EXPECT_EQ(Get("ZarnoObj.hdr"), "new header");
  EXPECT_EQ(Names(), (std::vector<std::string>{"ZarnoObj.hdr", "ZarnoObj.lod"}));
}

// A damaged journal may name only the object files and DDS copies; one that
// names anything else is not followed, and nothing is removed.
TEST_F(ReplacementJournalTest, AJournalNamingAnotherFileIsNotFollowed) {
  for (const char* name : {"Orvane4.ct", "ErrorList.txt", "ZarnoObj/57.txt", "zarnoobj.hdr"}) {
    SCOPED_TRACE(name);
    Put(std::string("ZarnoObj.journal"), std::string(name) + "\n");
    Put("Orvane4.ct", "class table");
    Put("Orvane4.ct.new", "not a class table");
    Put("ZarnoObj.hdr.new", "new header");
    EXPECT_FALSE(RecoverReplacement(platform_, Slash()));
    EXPECT_EQ(Get("Orvane4.ct"), "class table");
    EXPECT_EQ(Get("ZarnoObj.hdr"), "old header");
    EXPECT_TRUE(fs::exists(folder_ / "ZarnoObj.journal"));
    EXPECT_TRUE(fs::exists(folder_ / "ZarnoObj.hdr.new"));
  }
}

}  // namespace
}  // namespace zarno
