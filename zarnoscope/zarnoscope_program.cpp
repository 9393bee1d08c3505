#include "zarnoscope/zarnoscope_program.h"

#include <charconv>
#include <optional>
#include <vector>

#include "core/ascii_case.h"
#include "core/file_utils.h"
#include "core/format.h"
#include "core/install_paths.h"
#include "zarnoscope/folder_check.h"
#include "zarnoscope/gallery.h"
#include "zarnoscope/listings.h"
#include "zarnoscope/texture_reader.h"

namespace zarno {
namespace {

constexpr const char* kUsage =
    "usage: zarnoscope [--json] <command> [<arguments>] [<object folder>]\n"
    "\n"
    "Shows what the object folder (default: the current directory) holds; never\n"
    "writes to it.\n"
    "\n"
    "commands:\n"
    "  summary              counts, limits, store sizes, what a compaction gives back\n"
    "  parents              the parents in use and their LOD references\n"
    "  lods                 the LOD records\n"
    "  textures             the texture records\n"
    "  palettes             the palettes\n"
    "  free                 the parent indices and texture identifiers still free\n"
    "  verify               checks the folder; exit status 1 when a problem is found\n"
    "  texture <id> <out.bmp>   writes a texture as an 8-bit BMP image\n"
    "  model <lod> <out>        writes the blob of a LOD record\n"
    "  gallery <out folder>     writes index.html and a BMP image per texture\n"
    "\n"
    "--json prints the listings, summary and verify as JSON.\n";

constexpr const char* kVersion = "zarnoscope 1.0.0\n";

struct Command {
  std::string_view name;
  size_t arguments;  // before the optional object folder
  bool takesJson;
};

constexpr Command kCommands[] = {
    {"summary", 0, true}, {"parents", 0, true}, {"lods", 0, true},    {"textures", 0, true},
    {"palettes", 0, true}, {"free", 0, true},   {"verify", 0, true},  {"texture", 2, false},
    {"model", 2, false},   {"gallery", 1, false},
};

struct Invocation {
  const Command* command = nullptr;
  std::vector<std::string> arguments;
  std::optional<std::string> folder;
  bool json = false;
};

// Reads the arguments; on a usage error `error` says what is wrong.
std::optional<Invocation> ParseArguments(std::span<const std::string> args, std::string& error) {
  Invocation call;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      call.json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      words.push_back(arg);
    }
  }
  if (words.empty()) {
    error = "no command";
    return std::nullopt;
  }
  for (const Command& command : kCommands) call.command = command.name == words[0] ? &command : call.command;
  if (!call.command) {
    error = "unknown command " + words[0];
    return std::nullopt;
  }
  const size_t given = words.size() - 1;
  if (given < call.command->arguments || given > call.command->arguments + 1) {
    error = "wrong number of arguments for " + words[0];
    return std::nullopt;
  }
  if (call.json && !call.command->takesJson) {
    error = "--json does not apply to " + words[0];
    return std::nullopt;
  }
  call.arguments.assign(words.begin() + 1, words.begin() + 1 + static_cast<ptrdiff_t>(call.command->arguments));
  if (given > call.command->arguments) call.folder = words.back();
  return call;
}

std::optional<uint32_t> ParseNumber(const std::string& text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Whether an output would take the name of one of the object folder's own
// files, wherever it goes: a texture written over ZarnoObj.hdr by a slip of
// the keyboard would lose the user's database.
bool IsObjectFileName(std::string_view path, char separator) {
  const std::string name = FoldAsciiCase(path.substr(path.find_last_of(std::string{'/', separator}) + 1));
  for (std::string_view own : {"zarnoobj.hdr", "zarnoobj.lod", "zarnoobj.tex", "zarnoobj.journal", "zarnoobj.lock",
                               "orvane4.ct"}) {
    if (name == own) return true;
  }
  return name.ends_with(".dds") || name.ends_with(".new");
}

std::string VerifyText(const std::vector<FolderProblem>& problems) {
  std::string text;
  for (const FolderProblem& problem : problems) {
    text += problem.file + ": " + (problem.record.empty() ? "" : problem.record + ": ") + problem.text + "\n";
  }
  return text + (problems.empty() ? "no problems found\n" : std::to_string(problems.size()) + " problems found\n");
}

std::string VerifyJson(const std::vector<FolderProblem>& problems) {
  std::string json = Format("{\"healthy\":%s,\"problems\":[", problems.empty() ? "true" : "false");
  for (size_t i = 0; i < problems.size(); ++i) {
    json += (i ? ",\n" : "\n") + std::string("{\"file\":") + JsonString(problems[i].file) +
            ",\"record\":" + JsonString(problems[i].record) + ",\"problem\":" + JsonString(problems[i].text) + "}";
  }
  return json + "]}\n";
}

class CommandRunner {
 public:
  CommandRunner(Platform& platform, const Invocation& call, const InspectedFolder& folder, ProgramOutput& output)
      : platform_(platform), call_(call), folder_(folder), output_(output) {}

  int Run() {
    const std::string_view name = call_.command->name;
    if (name == "verify") return Verify();
    if (name == "texture") return ExportTexture();
    if (name == "model") return ExportModel();
    if (name == "gallery") return Gallery();
    if (name == "free") {
      output_.out += FreeNumbers(folder_, call_.json);
      return kExitDone;
    }
    const Report report = name == "summary"    ? SummaryReport(folder_)
                          : name == "parents"  ? ParentListing(folder_)
                          : name == "lods"     ? LodListing(folder_)
                          : name == "textures" ? TextureListing(folder_)
                                               : PaletteListing(folder_);
    output_.out += call_.json ? RenderJson(report) : RenderText(report);
    return kExitDone;
  }

 private:
  int Fail(const std::string& text) {
    output_.err += "zarnoscope: " + text + "\n";
    return kExitProblem;
  }

  int Verify() {
    const std::vector<FolderProblem> problems = CheckFolder(platform_, folder_);
    output_.out += call_.json ? VerifyJson(problems) : VerifyText(problems);
    return problems.empty() ? kExitDone : kExitProblem;
  }

  int ExportTexture() {
    const std::optional<uint32_t> id = ParseNumber(call_.arguments[0]);
    if (!id) return Usage("not a texture identifier: " + call_.arguments[0]);
    if (*id >= folder_.TextureRecords() || !TextureInUse(folder_.db->TextureTable[*id])) {
      return Fail(Format("texture %u is not in use", *id));
    }
    TextureReader reader(platform_, folder_);
    std::vector<uint8_t> image;
    if (const std::optional<std::string> problem = reader.Image(*id, image)) {
      return Fail(Format("texture %u: ", *id) + *problem);
    }
    return WriteOut(call_.arguments[1], image);
  }

  int ExportModel() {
    const std::optional<uint32_t> k = ParseNumber(call_.arguments[0]);
    if (!k) return Usage("not a LOD record number: " + call_.arguments[0]);
    if (*k >= folder_.LodRecords() || folder_.db->LodTable[*k].fileSize == 0) {
      return Fail(Format("lod %u is not in use", *k));
    }
    const LodRecord& record = folder_.db->LodTable[*k];
    if (!folder_.lodSize || uint64_t{record.fileOffset} + record.fileSize > *folder_.lodSize) {
      return Fail(Format("lod %u: its bytes lie outside ZarnoObj.lod", *k));
    }
    const std::unique_ptr<File> store = platform_.OpenFile(folder_.PathOf(kLodFileName), OpenMode::kRead);
    std::vector<uint8_t> blob;
    if (!store || !ReadStoreRange(*store, record.fileOffset, record.fileSize, blob)) {
      return Fail(Format("lod %u: its bytes cannot be read from ZarnoObj.lod", *k));
    }
    return WriteOut(call_.arguments[1], blob);
  }

  int Gallery() {
    const GalleryResult result = WriteGallery(platform_, folder_, call_.arguments[0]);
    for (const std::string& line : result.damaged) output_.err += "zarnoscope: " + line + "\n";
    if (!result.written) return Fail("Can not write " + result.failure);
    output_.out += Format("%u textures shown in %s\n", result.shown, call_.arguments[0].c_str());
    return result.damaged.empty() ? kExitDone : kExitProblem;
  }

  int WriteOut(const std::string& path, std::span<const uint8_t> bytes) {
    if (IsObjectFileName(path, platform_.PathSeparator())) {
      return Usage("will not write " + path + ": the name is one of an object folder's own files");
    }
    if (!WriteFileDurably(platform_, path, bytes)) return Fail("Can not write " + path);
    return kExitDone;
  }

  int Usage(const std::string& text) {
    output_.err += "zarnoscope: " + text + "\n" + kUsage;
    return kExitUsage;
  }

  Platform& platform_;
  const Invocation& call_;
  const InspectedFolder& folder_;
  ProgramOutput& output_;
};

}  // namespace

int RunZarnoscope(Platform& platform, std::span<const std::string> args, ProgramOutput& output) {
  for (const std::string& arg : args) {
    if (arg == "--help") return output.out += kUsage, kExitDone;
    if (arg == "--version") return output.out += kVersion, kExitDone;
  }
  std::string error;
  const std::optional<Invocation> call = ParseArguments(args, error);
  if (!call) return output.err += "zarnoscope: " + error + "\n" + kUsage, kExitUsage;
  const std::optional<std::string> dir = call->folder ? call->folder : platform.CurrentDirectory();
  if (!dir) return output.err += "zarnoscope: the current directory cannot be had\n", kExitUsage;
  const std::optional<InspectedFolder> folder = InspectFolder(platform, *dir, error);
  if (!folder) return output.err += "zarnoscope: " + error + "\n", kExitUsage;
  return CommandRunner(platform, *call, *folder, output).Run();
}

}  // namespace zarno
