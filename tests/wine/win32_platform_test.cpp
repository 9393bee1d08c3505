// The Win32 platform's files, folder search, current directory and registry
// against the contract of the Platform interface, on a real (Wine) system.
//
//   win32_platform_test <empty working folder>
#include <cstring>
#include <string>
#include <vector>

#include "core/platform_win32.h"
#include "tests/wine/raw_files_win32.h"
#include "tests/wine/win32_check.h"

namespace zarno {
namespace {

// The key the registry checks create and use; never the host's own.
constexpr char kTestKey[] = "Software\\Vantorelle\\ZarnoWin32Test";

std::string MakeFolder(const std::string& root, const std::string& name) {
  const std::string folder = root + "\\" + name;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// ---- folder search and sizes -----------------------------------------------------

void FindFilesReturnsFilesAndFoldersInTheSearchOrder(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "search");
  CHECK(WriteRaw(folder + "\\b.ihr", "b"));
  CHECK(WriteRaw(folder + "\\A.IHR", "a"));
  CHECK(WriteRaw(folder + "\\c_hut.ihr", "c"));
  CHECK(WriteRaw(folder + "\\notes.txt", "n"));
  MakeFolder(folder, "d.ihr");
  // The order is the file system's: upper-cased names, as the POSIX build
  // sorts them.
  CHECK_EQ(platform.FindFiles(folder + "\\*.ihr"), (std::vector<std::string>{"A.IHR", "b.ihr", "c_hut.ihr", "d.ihr"}));
  CHECK_EQ(platform.FindFiles(folder + "\\*"),
           (std::vector<std::string>{"A.IHR", "b.ihr", "c_hut.ihr", "d.ihr", "notes.txt"}));
  CHECK(platform.FindFiles(folder + "\\*.bmp").empty());
  CHECK(platform.FindFiles(root + "\\no such folder\\*.ihr").empty());
}

void FileSizeAnswersAsTheSearchDoes(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "sizes");
  CHECK(WriteRaw(folder + "\\300.bin", std::string(300, 'x')));
  CHECK(WriteRaw(folder + "\\empty.bin", ""));
  CHECK_EQ(platform.FileSize(folder + "\\300.bin"), std::optional<uint64_t>(300));
  CHECK_EQ(platform.FileSize(folder + "\\300.BIN"), std::optional<uint64_t>(300));
  CHECK_EQ(platform.FileSize(folder + "\\empty.bin"), std::optional<uint64_t>(0));
  CHECK_EQ(platform.FileSize(folder), std::optional<uint64_t>(0));
  CHECK(!platform.FileSize(folder + "\\missing.bin"));
  CHECK(!platform.FileSize(folder + "\\*.bin"));
}

// ---- open files and views ---------------------------------------------------------

void OpenFileHonoursEachMode(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "open");
  const std::string path = folder + "\\data.bin";
  CHECK(!platform.OpenFile(path, OpenMode::kRead));
  CHECK(!platform.OpenFile(path, OpenMode::kUpdate));

  std::unique_ptr<File> created = platform.OpenFile(path, OpenMode::kCreate);
  CHECK(created != nullptr);
  if (!created) return;
  char scratch[4];
  CHECK_EQ(created->Read(scratch, sizeof scratch), size_t{0});
  CHECK(created->Write("0123456789", 10));
  CHECK_EQ(created->Size(), std::optional<uint64_t>(10));
  CHECK(created->Seek(2) && created->Write("ab", 2));
  CHECK(created->Flush());
  CHECK(created->Close());
  CHECK_EQ(ReadRaw(path), std::string("01ab456789"));

  std::unique_ptr<File> updated = platform.OpenFile(path, OpenMode::kUpdate);
  CHECK(updated != nullptr);
  if (!updated) return;
  char head[3] = {};
  CHECK_EQ(updated->Read(head, 3), size_t{3});
  CHECK_EQ(std::string(head, 3), std::string("01a"));
  CHECK(updated->Seek(12) && updated->Write("Z", 1));  // past the end: the gap is zeros
  CHECK(updated->Close());
  CHECK_EQ(ReadRaw(path), std::string("01ab456789\0\0Z", 13));

  std::unique_ptr<File> reader = platform.OpenFile(path, OpenMode::kRead);
  CHECK(reader != nullptr);
  if (!reader) return;
  CHECK(!reader->Write("x", 1));
  char all[32];
  CHECK_EQ(reader->Read(all, sizeof all), size_t{13});
  CHECK_EQ(reader->Read(all, sizeof all), size_t{0});
  reader.reset();

  std::unique_ptr<File> emptied = platform.OpenFile(path, OpenMode::kCreate);
  CHECK(emptied != nullptr && emptied->Close());
  CHECK_EQ(ReadRaw(path), std::string());
}

void OpenFileRefusesFoldersAndDevices(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "not_files");
  MakeFolder(folder, "model.ihr");
  for (OpenMode mode : {OpenMode::kRead, OpenMode::kUpdate, OpenMode::kCreate}) {
    CHECK(!platform.OpenFile(folder + "\\model.ihr", mode));
    CHECK(!platform.OpenFile(folder + "\\NUL", mode));
  }
  CHECK(!platform.ViewFile(folder + "\\model.ihr"));
  CHECK(!platform.ViewFile(folder + "\\NUL"));
}

void ViewFileMapsTheWholeFile(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "views");
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7);
  CHECK(WriteRaw(folder + "\\image.bmp", bytes));
  CHECK(WriteRaw(folder + "\\empty.bmp", ""));
  std::unique_ptr<FileView> view = platform.ViewFile(folder + "\\image.bmp");
  CHECK(view != nullptr);
  if (view) {
    CHECK_EQ(view->Bytes().size(), bytes.size());
    CHECK(std::memcmp(view->Bytes().data(), bytes.data(), bytes.size()) == 0);
  }
  std::unique_ptr<FileView> empty = platform.ViewFile(folder + "\\empty.bmp");
  CHECK(empty != nullptr && empty->Bytes().empty());
  CHECK(!platform.ViewFile(folder + "\\missing.bmp"));
}

// ---- copies, replacements, removals ------------------------------------------------

void CopyReplaceAndRemove(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "moves");
  CHECK(WriteRaw(folder + "\\12tree.dds", "dds bytes"));
  CHECK(WriteRaw(folder + "\\12.dds", "older copy"));
  CHECK(platform.CopyFile(folder + "\\12tree.dds", folder + "\\12.dds"));
  CHECK_EQ(ReadRaw(folder + "\\12.dds"), std::string("dds bytes"));
  CHECK(!platform.CopyFile(folder + "\\missing.dds", folder + "\\13.dds"));
  CHECK(!Exists(folder + "\\13.dds"));

  CHECK(WriteRaw(folder + "\\ZarnoObj.hdr", "old"));
  CHECK(WriteRaw(folder + "\\ZarnoObj.hdr.new", "new"));
  CHECK(platform.ReplaceFile(folder + "\\ZarnoObj.hdr.new", folder + "\\ZarnoObj.hdr"));
  CHECK_EQ(ReadRaw(folder + "\\ZarnoObj.hdr"), std::string("new"));
  CHECK(!Exists(folder + "\\ZarnoObj.hdr.new"));
  CHECK(!platform.ReplaceFile(folder + "\\ZarnoObj.hdr.new", folder + "\\ZarnoObj.hdr"));
  CHECK_EQ(ReadRaw(folder + "\\ZarnoObj.hdr"), std::string("new"));

  CHECK(platform.RemoveFile(folder + "\\12.dds"));
  CHECK(!Exists(folder + "\\12.dds"));
  CHECK(!platform.RemoveFile(folder + "\\12.dds"));
}

// ---- environment --------------------------------------------------------------------

void CurrentDirectoryIsTheProcessFolder(const std::string& root) {
  Win32Platform platform;
  const std::string folder = MakeFolder(root, "a folder with blanks");
  char before[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, before);
  CHECK(::SetCurrentDirectoryA(folder.c_str()));
  CHECK_EQ(platform.CurrentDirectory(), std::optional<std::string>(folder));
  ::SetCurrentDirectoryA(before);
  CHECK_EQ(platform.PathSeparator(), '\\');
  CHECK_EQ(platform.LineEnd(), std::string_view("\r\n"));
}

void SetTestValue(const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  CHECK(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS);
  CHECK(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + (type == REG_SZ ? 1 : 0))) == ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void ReadRegistryValueTakesOnlyWhatFits() {
  Win32Platform platform;
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  std::string value = "argument";
  CHECK(platform.ReadRegistryValue(kTestKey, "objectDir", value));  // the key is created
  CHECK_EQ(value, std::string("argument"));
  HKEY key = nullptr;
  CHECK(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &key) == ERROR_SUCCESS);
  ::RegCloseKey(key);

  SetTestValue("objectDir", REG_SZ, "D:\\Orvane\\Objects");
  CHECK(platform.ReadRegistryValue(kTestKey, "objectDir", value));
  CHECK_EQ(value, std::string("D:\\Orvane\\Objects"));

  const std::string longest(255, 'k');
  SetTestValue("longest", REG_SZ, longest);
  CHECK(platform.ReadRegistryValue(kTestKey, "longest", value));
  CHECK_EQ(value, longest);

  value = "argument";
  SetTestValue("tooLong", REG_SZ, std::string(256, 'l'));
  CHECK(platform.ReadRegistryValue(kTestKey, "tooLong", value));
  CHECK_EQ(value, std::string("argument"));

  SetTestValue("unterminated", REG_BINARY, std::string(256, 'u'));
  CHECK(platform.ReadRegistryValue(kTestKey, "unterminated", value));
  CHECK_EQ(value, std::string("argument"));

  CHECK(platform.ReadRegistryValue(kTestKey, "missing", value));
  CHECK_EQ(value, std::string("argument"));
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
}

}  // namespace
}  // namespace zarno

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: win32_platform_test <empty working folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  zarno::FindFilesReturnsFilesAndFoldersInTheSearchOrder(root);
  zarno::FileSizeAnswersAsTheSearchDoes(root);
  zarno::OpenFileHonoursEachMode(root);
  zarno::OpenFileRefusesFoldersAndDevices(root);
  zarno::ViewFileMapsTheWholeFile(root);
  zarno::CopyReplaceAndRemove(root);
  zarno::CurrentDirectoryIsTheProcessFolder(root);
  zarno::ReadRegistryValueTakesOnlyWhatFits();
  return zarno::FinishChecks("win32_platform_test");
}
