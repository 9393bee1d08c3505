#include "rigwright/install_parent.h"

#include <array>
#include <string>

#include "core/format.h"
#include "rigwright/text_scanner.h"

namespace zarno {
namespace {

// LOD number that leaves a form-0 entry's reference as it was.
constexpr int32_t kKeepLodNumber = -2;
// LOD number that asks for a model file to be installed into a new record.
constexpr int32_t kNewLodNumber = -1;

// The parent as the file describes it, built beside the tables and taken
// into them only when the file names a parent the table can hold. It starts
// as a copy of that parent, so what the file does not give stays as it was.
struct ParentDraft {
  ParentRecord fixed{};
  ParentListRecord lists{};
  std::array<std::string, kMaxLodRefs> names;
};

// The three coordinate arrays of a list of points, with their capacity.
struct PointArrays {
  float* x;
  float* y;
  float* z;
  uint32_t capacity;
};

// Reference 2n + 1 in 32-bit two's complement, for any n.
int32_t LodRefOf(int32_t n) {
  return static_cast<int32_t>(2u * static_cast<uint32_t>(n) + 1u);
}

class InstallParentParser {
 public:
  InstallParentParser(ModelJobState& state, std::string_view text) : state_(state), in_(text) {}

  int32_t Run();

 private:
  bool CheckRun() const { return state_.settings.checkRun; }
  void Report(const std::string& line) {
    if (CheckRun()) WriteFinding(state_, line);
  }
  std::string NextLine(size_t maxChars);

  bool ReadVersion();
  void ReadParentIndexLine();
  void StartDraft();
  void ReadHitboxLine();
  void ReadHostParamLine();
  void ReadCountLines();
  bool ReadLabelledInt(int32_t& value);
  void ReadFormLine();
  int32_t ReadPoints(uint32_t count, PointArrays arrays);
  void ReadPointLists();
  void ReadLodEntries();
  void ReadLodEntryForm0(uint32_t j, int32_t& lodRef);
  void ReadLodEntryOtherForm(int32_t& lodRef);
  int32_t Commit();

  ModelJobState& state_;
  TextScanner in_;
  int32_t parentIndex_ = 0;
  bool indexInTable_ = false;
  int32_t lodEntryForm_ = 0;
  // The last LOD number read; the distance report of an entry names the one
  // read before it (0 for the first entry).
  int32_t lodNumber_ = 0;
  ParentDraft draft_;
};

std::string InstallParentParser::NextLine(size_t maxChars) {
  std::string line;
  if (!in_.ReadLine(maxChars, line)) line.clear();
  return line;
}

int32_t InstallParentParser::Run() {
  if (!ReadVersion()) return 0;
  NextLine(kInstallParentLineChars);  // the rest of line 1
  NextLine(kInstallParentLineChars);  // line 2, the name
  ReadParentIndexLine();
  StartDraft();
  ReadHitboxLine();
  ReadHostParamLine();
  ReadCountLines();
  ReadFormLine();
  if (draft_.fixed.hostParam3 == 0) draft_.fixed.hostParam3 = 1;
  ReadPointLists();
  ReadLodEntries();
  return Commit();
}

bool InstallParentParser::ReadVersion() {
  float version = 0.0f;
  return in_.ReadFloat(version) == ScanResult::kConverted && version == kInstallParentVersion;
}

void InstallParentParser::ReadParentIndexLine() {
  const std::string line = NextLine(kInstallParentLineChars);
  TextScanner fields(line);
  int32_t first = 0, second = 0;
  ScanSequence(fields).Int(first).Int(second).Int(parentIndex_);
  if (CheckRun() && parentIndex_ == state_.lastParentIndex) {
    Report(Format("Duplicate Parents \t,%s - %d\n", state_.currentIhrName.c_str(), parentIndex_));
  }
  state_.lastParentIndex = parentIndex_;
}

// A parent index that the saved database cannot hold is reported at once;
// the file is still read to its end, so a check run lists everything else it
// finds. The table has room for two parents more than the file keeps: taking
// one of those would install its models for a parent that is never saved.
void InstallParentParser::StartDraft() {
  indexInTable_ = parentIndex_ >= 0 &&
                  static_cast<uint32_t>(parentIndex_) < state_.db.Limits().parentLimit &&
                  static_cast<size_t>(parentIndex_) < state_.db.ParentTable.size();
  if (indexInTable_) {
    draft_.fixed = state_.db.ParentTable[static_cast<size_t>(parentIndex_)];
    draft_.lists = state_.db.ParentLists[static_cast<size_t>(parentIndex_)];
    return;
  }
  if (CheckRun()) {
    Report(Format("Bad Parent Index \t,%s - %d\n", state_.currentIhrName.c_str(), parentIndex_));
  } else {
    const std::string path = state_.paths.modelDir + state_.currentIhrName;
    state_.platform.ShowMessageBox(
        Format("Bad parent index %d in ihr file: %s", parentIndex_, path.c_str()), "ihr Read Error",
        BoxIcon::kExclamation);
  }
}

void InstallParentParser::ReadHitboxLine() {
  const std::string line = NextLine(kInstallParentLineChars);
  TextScanner fields(line);
  ScanSequence scan(fields);
  scan.Word();
  for (float& value : draft_.fixed.hitbox) scan.Float(value);
  if (!CheckRun()) return;
  const int32_t converted = scan.Result();
  if (converted != 8) {
    Report(Format("Hitbox Error \t,%s - %d\n", state_.currentIhrName.c_str(), converted - 1));
  }
  float sum = 0.0f;
  for (float value : draft_.fixed.hitbox) sum += value;
  if (sum == 0.0f) Report(Format("All Hitbox Values = 0.0f \t,%s\n", state_.currentIhrName.c_str()));
}

void InstallParentParser::ReadHostParamLine() {
  const std::string line = NextLine(kInstallParentLineChars);
  TextScanner fields(line);
  int32_t hostParam1 = static_cast<int32_t>(draft_.fixed.hostParam1);
  int32_t hostParam2 = static_cast<int32_t>(draft_.fixed.hostParam2);
  ScanSequence(fields).Word().Int(hostParam1).Int(hostParam2);
  draft_.fixed.hostParam1 = static_cast<uint32_t>(hostParam1);
  draft_.fixed.hostParam2 = static_cast<uint32_t>(hostParam2);
}

bool InstallParentParser::ReadLabelledInt(int32_t& value) {
  return ScanSequence(in_).Word().Int(value).Result() == 2;
}

// Each value is kept to its field's width. The slot count is the last field
// of the parent's fixed part that the file gives; hostParam6 and the low byte
// of hostParam7, which follow it, are cleared with it.
void InstallParentParser::ReadCountLines() {
  ParentRecord& fixed = draft_.fixed;
  int32_t value = 0;
  if (ReadLabelledInt(value)) fixed.hostParam3 = static_cast<uint16_t>(value);
  if (ReadLabelledInt(value)) fixed.dynamicCount = static_cast<uint16_t>(value);
  if (ReadLabelledInt(value)) fixed.lodRefCount = static_cast<uint8_t>(value);
  if (ReadLabelledInt(value)) fixed.hostParam4 = static_cast<uint8_t>(value);
  if (ReadLabelledInt(value)) fixed.hostParam5 = static_cast<uint8_t>(value);
  if (ReadLabelledInt(value)) {
    fixed.slotCount = static_cast<uint8_t>(value);
    fixed.hostParam6 = 0;
    fixed.hostParam7 = static_cast<uint16_t>(fixed.hostParam7 & 0xFF00u);
  }
}

// Line 12 is read as a whole line, after the line breaks that end line 11.
void InstallParentParser::ReadFormLine() {
  in_.SkipWhitespace();
  const std::string line = NextLine(kInstallParentLineChars);
  TextScanner fields(line);
  fields.ReadInt(lodEntryForm_);
  if (CheckRun() && lodEntryForm_ != 0) {
    Report(Format("999#END \t%s\n", state_.currentIhrName.c_str()));
  }
}

// Reads `count` lines of three numbers; points beyond the arrays are read
// and dropped. Returns how many reads converted at least their first value
// or met the end of the file. A read that converts nothing takes nothing
// from the text, so every later one would fail alike, and every read after
// the end meets the end: neither is repeated up to a count of 65535.
int32_t InstallParentParser::ReadPoints(uint32_t count, PointArrays arrays) {
  int32_t done = 0;
  for (uint32_t j = 0; j < count; ++j) {
    float dropped[3] = {0.0f, 0.0f, 0.0f};
    const bool kept = j < arrays.capacity;
    float& x = kept ? arrays.x[j] : dropped[0];
    float& y = kept ? arrays.y[j] : dropped[1];
    float& z = kept ? arrays.z[j] : dropped[2];
    const int32_t converted = ScanSequence(in_).Float(x).Float(y).Float(z).Result();
    if (converted == 0) break;
    ++done;
    if (converted < 0) return done + static_cast<int32_t>(count - j - 1);
  }
  return done;
}

void InstallParentParser::ReadPointLists() {
  ParentListRecord& lists = draft_.lists;
  const uint32_t dynamicCount = draft_.fixed.dynamicCount;
  const int32_t dynamicsDone = ReadPoints(
      dynamicCount, {lists.dynamicX, lists.dynamicY, lists.dynamicZ, kMaxDynamicPoints});
  if (CheckRun() && dynamicsDone != static_cast<int32_t>(dynamicCount)) {
    Report(Format("Dynamics Error \t%s - %d - %d\n", state_.currentIhrName.c_str(), dynamicsDone,
                  static_cast<int32_t>(dynamicCount)));
  }
  const uint32_t slotCount = draft_.fixed.slotCount;
  const int32_t slotsDone = ReadPoints(slotCount, {lists.slotX, lists.slotY, lists.slotZ, kSlotCapacity});
  if (CheckRun() && slotsDone != static_cast<int32_t>(slotCount)) {
    Report(Format("Dynamics Error \t%s - %d - %d\n", state_.currentIhrName.c_str(), slotsDone,
                  static_cast<int32_t>(slotCount)));
  }
}

// Entries beyond the ten the arrays hold are read and dropped.
void InstallParentParser::ReadLodEntries() {
  for (std::string& name : draft_.names) name.clear();
  const uint32_t lodRefCount = draft_.fixed.lodRefCount;
  for (uint32_t j = 0; j < lodRefCount; ++j) {
    const bool kept = j < kMaxLodRefs;
    float droppedDistance = 0.0f;
    int32_t droppedRef = 0;
    float& distance = kept ? draft_.lists.lodDistance[j] : droppedDistance;
    int32_t& lodRef = kept ? draft_.lists.lodRef[j] : droppedRef;
    in_.ReadFloat(distance);
    if (CheckRun() && distance == 0.0f) {
      Report(Format("LOD #%d Distance = 0.0 \t%s\n", lodNumber_, state_.currentIhrName.c_str()));
    }
    if (lodEntryForm_ == 0) {
      ReadLodEntryForm0(j, lodRef);
    } else {
      ReadLodEntryOtherForm(lodRef);
    }
  }
}

void InstallParentParser::ReadLodEntryForm0(uint32_t j, int32_t& lodRef) {
  in_.ReadInt(lodNumber_);
  char lineBreak = 0;
  in_.ReadChar(lineBreak);
  if (lodNumber_ == kKeepLodNumber) {
    in_.SkipLine();
  } else {
    const std::string name = ModelFileNameFromLine(NextLine(kModelNameLineChars));
    if (j < kMaxLodRefs) draft_.names[j] = name;
    lodRef = lodNumber_ == kNewLodNumber ? -1 : LodRefOf(lodNumber_);
  }
  if (CheckRun() && static_cast<int64_t>(lodNumber_) > static_cast<int64_t>(state_.db.lodCountAtRead)) {
    Report(Format("Bad LOD # \t%s - %d\n", state_.currentIhrName.c_str(), lodNumber_));
  }
}

void InstallParentParser::ReadLodEntryOtherForm(int32_t& lodRef) {
  ScanSequence(in_).Int(lodNumber_).Word();
  if (lodNumber_ < 0) lodRef = LodRefOf(static_cast<int32_t>(0u - static_cast<uint32_t>(lodNumber_)));
}

int32_t InstallParentParser::Commit() {
  if (!indexInTable_) {
    for (std::string& name : state_.LodFileNames) name.clear();
    return kParentSkipped;
  }
  const auto index = static_cast<size_t>(parentIndex_);
  state_.db.ParentTable[index] = draft_.fixed;
  state_.db.ParentLists[index] = draft_.lists;
  state_.LodFileNames = draft_.names;
  if (static_cast<uint32_t>(parentIndex_) >= state_.db.parentCount) {
    state_.db.parentCount = static_cast<uint32_t>(parentIndex_) + 1;
  }
  return parentIndex_;
}

}  // namespace

// The line is cut at its first '.'; a line without one keeps all it holds,
// its line break too, and gets ".lod" behind that.
std::string ModelFileNameFromLine(std::string_view nameLine) {
  return std::string(nameLine.substr(0, nameLine.find('.'))) + ".lod";
}

int32_t ReadInstallParent(ModelJobState& state, std::string_view fileBytes) {
  const std::string text = TextModeContents(fileBytes);
  return InstallParentParser(state, text).Run();
}

}  // namespace zarno
