// Rigwright end to end: ZarnoObj.hdr and .lod byte for byte, ErrorList.txt, boxes, beeps, progress calls and
// exit code after a run on a case's folders. "$R" in a case's texts stands for its temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include "core/folder_lock.h"
#include "core/progress.h"
#include "rigwright/rigwright_program.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
namespace zarno {
namespace {
#define FOLDERS " ~\"$R/Models\" ~\"$R/Objects\""
#define LIST_HEAD "Models folder:   $R/Models/\nObjects folder:  $R/Objects/ZarnoObj.hdr\n\n"
Bytes Cat(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
IhrSpec Ihr(int32_t parentIndex, std::vector<IhrLodEntry> lods) {
  IhrSpec ihr; ihr.parentIndex = parentIndex, ihr.hostParam1 = 1000 + parentIndex, ihr.lods = std::move(lods);
  ihr.hitbox = {-2.0f, -1.0f, 0.5f, 2.0f, 1.0f, 3.0f, static_cast<float>(parentIndex)};
  ihr.dynamicPoints = {{0.5f, 1.5f, -2.5f}}, ihr.slots = {{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}}; return ihr;
}
// The parent an ihr file describes as ZarnoObj.hdr holds it: hostParam6 and hostParam7's low byte cleared.
ParentSpec ParentFrom(const IhrSpec& ihr, std::vector<int32_t> lodRefs, uint16_t oldHostParam7 = 0) {
  ParentSpec parent; parent.hitbox = ihr.hitbox, parent.slots = ihr.slots, parent.dynamicPoints = ihr.dynamicPoints;
  parent.hostParam1 = static_cast<uint32_t>(ihr.hostParam1), parent.hostParam2 = static_cast<uint32_t>(ihr.hostParam2);
  parent.hostParam3 = static_cast<uint16_t>(ihr.hostParam3), parent.hostParam4 = static_cast<uint8_t>(ihr.hostParam4);
  parent.hostParam5 = static_cast<uint8_t>(ihr.hostParam5), parent.hostParam7 = oldHostParam7 & 0xFF00;
  for (size_t j = 0; j < lodRefs.size(); ++j) parent.lodRefs.push_back({lodRefs[j], ihr.lods[j].distance});
  return parent;
}
struct World {  // one case's folders, and what the run is to leave in them
  TempFolder temp; ObjectFolder f = ObjectFolderAt(temp.Path()); RecordingPlatform platform;
  HeaderSpec before = StandardHeaderSpec();  // as written before the run
  std::optional<HeaderSpec> hdr; std::optional<Bytes> lod;  // ZarnoObj.hdr, .lod afterwards; nothing: unchanged
  std::vector<MessageBoxRecord> boxes; std::string listTail;  // before the case's boxes; after its list lines
  std::string Expand(std::string text) const {
    for (size_t at; (at = text.find("$R")) != std::string::npos;) text.replace(at, 2, temp.Path().string());
    return text;
  }
  void Write() { ASSERT_TRUE(WriteObjectFolder(f, before)); }
  HeaderSpec& Saved() { return hdr ? *hdr : hdr.emplace(before); }
  void AddIhr(const std::string& name, const IhrSpec& ihr) { ASSERT_TRUE(WriteIhrFile(f.modelDir / name, ihr)); }
  void Raw(std::string n, std::string_view t) { EXPECT_TRUE(WriteFile(f.modelDir / n, Bytes(t.begin(), t.end()))); }
  Bytes Model(const std::string& name, uint32_t seed, size_t size) {
    const Bytes bytes = PatternBytes(seed, size); EXPECT_TRUE(WriteModelFile(f, name, bytes)); return bytes;
  }
  // Expects the store as written with `blobs` appended 10 bytes apart.
  void Appended(std::initializer_list<Bytes> blobs) {
    lod = BuildLodFile(before); for (const Bytes& blob : blobs) lod = Cat(Cat(*lod, Bytes(10, 0)), blob);
  }
  void ReadOnly(const fs::path& path) { ::chmod(path.c_str(), 0444); }
  void Box(const std::string& text, const char* cap) { boxes.push_back({Expand(text), cap, BoxIcon::kExclamation}); }
};
MessageBoxRecord Stop(const char* text, const char* cap = "File Open Error") { return {text, cap, BoxIcon::kHand}; }
MessageBoxRecord Warn(const char* text, const char* caption) { return {text, caption, BoxIcon::kExclamation}; }
const MessageBoxRecord kReport = {"List of errors in file: $R/Models//ErrorList.txt", "Rigwright Error Report",
                                  BoxIcon::kAsterisk};
ProgressCall At(int64_t position) { return {ProgressCall::Kind::kSetPosition, position}; }
const ProgressCall kOpen = {ProgressCall::Kind::kOpen, kProgressStageLod}, kRange4 = {ProgressCall::Kind::kSetRange, 4},
                   kClose = {ProgressCall::Kind::kClose, 0};
// boxes: after the arrangement's; list: ErrorList.txt (nullptr: none); writesNothing: not even a same file;
// failPath: the first file operation on a path ending so fails.
struct Case {
  const char *name, *line; std::function<void(World&)> arrange; std::vector<MessageBoxRecord> boxes = {};
  int beeps = 0; const char* list = nullptr; std::vector<ProgressCall> progress = {}; bool writesNothing = false;
  const char* failPath = nullptr; int exitCode = 1;
};
void OneParent(World& w) { w.AddIhr("a.ihr", Ihr(3, {})); }
void OneParentSaved(World& w) { OneParent(w), w.Saved().parents.push_back(ParentFrom(Ihr(3, {}), {})); }
void Registered(World& w, const std::string& d) {
  w.platform.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", w.Expand(d)), OneParent(w);
}
// Parent 3 asks for m.lod and n.lod; both are there, and only n.lod installed.
void TwoModels(World& w) {
  w.AddIhr("a.ihr", Ihr(3, {{800.0f, -1, "m.3ds"}, {400.0f, -1, "n.3ds"}}));
  w.Model("m.lod", 1, 30), w.Appended({w.Model("n.lod", 2, 20)}); w.Saved().lods[1] = {200, 201, 202, 300, 20};
  w.Saved().parents.push_back(ParentFrom(Ihr(3, {{800.0f}, {400.0f}}), {-1, 3}));
}
// Three files, the second a folder; the others are installed.
void SecondIhrUnreadable(World& w) {
  const IhrSpec c = Ihr(4, {{100.0f, -1, "c.3ds"}}); OneParentSaved(w);
  fs::create_directory(w.f.modelDir / "b.ihr");
  w.AddIhr("c.ihr", c), w.Appended({w.Model("c.lod", 3, 20)}); w.Saved().lods[1] = {200, 201, 202, 300, 20};
  w.Saved().parents.push_back(ParentFrom(c, {3}));
}
// f01.ihr ... for parents 3, 4, ..., each naming a missing model: two boxes for each of the first 20, or two
// lines of ErrorList.txt for each in a check run.
void FailingFiles(World& w, int count, bool checkRun) {
  for (int i = 1; i <= count; ++i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    const IhrSpec ihr = Ihr(2 + i, {{100.0f, -1, "m" + n + ".3ds"}}); w.AddIhr("f" + n + ".ihr", ihr);
    if (w.hdr) w.hdr->parents.push_back(ParentFrom(ihr, {-1}));
    const std::string model = "Could not open model file: $R/Models/m" + n + ".lod.";
    if (checkRun) w.listTail += w.Expand(model + "\nProblem installing model $R/Models/f" + n + ".ihr.\n");
    if (checkRun || i > 20) continue;
    w.Box(model, "Model File Error");
    w.Box("Problem installing model $R/Models/f" + n + ".ihr in ZO.lod file.\n", "Model Install Error");
  }
}
// Records 0 to 3 at 10, 120, 180, 260; the parents refer to 0 and 2 only.
void CompactExample(World& w) {
  w.before.lods = {{100, 1, 2, 10, 100}, {200, 1, 2, 120, 50}, {300, 1, 2, 180, 70}, {400, 1, 2, 260, 30}};
  w.before.parents[0].lodRefs = {{0, 1.0f}, {-1, 2.0f}};  // lodRef 0 names record 0
  w.before.parents[1].lodRefs = {{5, 3.0f}}, w.before.parents[2].lodRefs = {{-1, 4.0f}}; w.Write();
  w.Saved().lods = {{100, 1, 2, 0, 100}, {200, 1, 2, 0, 0}, {300, 1, 2, 100, 70}, {400, 1, 2, 0, 0}};
  w.lod = Cat(BlobBytes(0, 100), BlobBytes(2, 70));
}
// Parent 2 with the distances `before` and the class table; expects `after` (none: the header unchanged).
void Distances(World& w, std::vector<float> before, std::vector<ClassSpec> classes, std::vector<float> after) {
  w.before.parents[2].lodRefs.clear(); for (float d : before) w.before.parents[2].lodRefs.push_back({-1, d}); w.Write();
  ClassTableSpec table; table.classes = std::move(classes);
  EXPECT_TRUE(WriteFile(w.f.objectDir / "Orvane4.ct", BuildClassTableFile(table)));
  for (size_t i = 0; i < after.size(); ++i) w.Saved().parents[2].lodRefs[i].lodDistance = after[i];
}
const Case kCases[] = {
    {"FreeRecordsFirstThenNewOnesTenBytesApart", "" FOLDERS, [](World& w) {
       w.before.parents[1].hostParam6 = 0xBEEF, w.before.parents[1].hostParam7 = 0x1234; w.Write();
       const IhrSpec tank = Ihr(3, {{8000.0f, -1, "tank_hi.3ds"}, {2000.0f, 2, "unused"}, {500.0f, -1, "Tank.Lo.x"}});
       const IhrSpec jeep = Ihr(4, {{3000.0f, -1, "jeep.3ds"}}); IhrSpec hut = Ihr(1, {{1000.0f, -1, "hut.3ds"}});
       hut.crlf = true, w.AddIhr("a_tank.ihr", tank), w.AddIhr("b_jeep.ihr", jeep), w.AddIhr("C_HUT.IHR", hut);
       const Bytes hi = w.Model("tank_hi.lod", 1, 100), lo = w.Model("TANK.LOD", 2, 40);
       w.Appended({hi, lo, w.Model("jeep.lod", 3, 0), w.Model("hut.lod", 4, 60)});
       HeaderSpec& saved = w.Saved();  // C_HUT.IHR: capitals, as some model file names have
       saved.lods[1] = {200, 201, 202, 300, 100}, saved.lods[4] = {500, 501, 502, 410, 40};
       saved.lods.insert(saved.lods.end(), {{0, 0, 0, 460, 0}, {0, 0, 0, 470, 60}});
       saved.parents[1] = ParentFrom(hut, {15}, 0x1234);
       saved.parents.insert(saved.parents.end(), {ParentFrom(tank, {3, 5, 9}), ParentFrom(jeep, {13})}); }, {}, 2},
    {"AMissingModelFailsItsParentAndTheRestIsInstalled", "" FOLDERS,
     [](World& w) { TwoModels(w), fs::remove(w.f.modelDir / "m.lod"); },
     {Warn("Could not open model file: $R/Models/m.lod.", "Model File Error"),
      Warn("Problem installing model $R/Models/a.ihr in ZO.lod file.\n", "Model Install Error")}, 2},
    {"AnIhrFolderIsToldWithItsNumberAndSkipped", "" FOLDERS, SecondIhrUnreadable,
     {Warn("Can not open ihr file: $R/Models/b.ihr File #2", "ihr Open Error")}, 2},
    {"ParentIndicesTheHeaderCannotKeepAreRefused", "" FOLDERS, [](World& w) {
       const std::vector<IhrLodEntry> model = {{1.0f, -1, "m.3ds"}};
       w.AddIhr("a.ihr", Ihr(5000, model)), w.AddIhr("b.ihr", Ihr(5001, model)), w.AddIhr("c.ihr", Ihr(-1, model));
       w.AddIhr("d.ihr", Ihr(4999, {})), w.Model("m.lod", 1, 10);
       ParentSpec none;  // as the table holds a parent that no file gave
       none.hostParam3 = 0, w.Saved().parents.resize(4999, none);
       w.Saved().parents.push_back(ParentFrom(Ihr(4999, {}), {})); },
     {Warn("Bad parent index 5000 in ihr file: $R/Models/a.ihr", "ihr Read Error"),
      Warn("Bad parent index 5001 in ihr file: $R/Models/b.ihr", "ihr Read Error"),
      Warn("Bad parent index -1 in ihr file: $R/Models/c.ihr", "ihr Read Error")}, 2},
    {"TwentyFailedParentsAreToldAndTheHeaderIsWritten", "" FOLDERS,
     [](World& w) { w.Saved(), FailingFiles(w, 20, false); }, {}, 2},
    {"TheTwentyFirstFailedParentEndsTheRunUnsaved", "" FOLDERS, [](World& w) {
       w.AddIhr("a00.ihr", Ihr(3, {{100.0f, -1, "fine.3ds"}})), w.Appended({w.Model("fine.lod", 7, 20)});
       FailingFiles(w, 22, false); w.Box("Could not open model file: $R/Models/m21.lod.", "Model File Error"); },
     {Warn("Problem installing model $R/Models/f21.ihr in ZO.lod file.  Aborting", "Model Install Error")}},
    {"AppendsBehindABlobAtOffsetZero", "" FOLDERS, [](World& w) {
       w.before.lods = {{9, 9, 9, 0, 50}}, w.before.parents.resize(1), w.before.parents[0].lodRefs = {{1, 100.0f}};
       w.Write(); const IhrSpec ihr = Ihr(1, {{100.0f, -1, "m.3ds"}}); w.AddIhr("m.ihr", ihr);
       w.Appended({w.Model("m.lod", 8, 16)}); w.Saved().lods.push_back({0, 0, 0, 60, 16});
       w.Saved().parents.push_back(ParentFrom(ihr, {3})); }, {}, 2},
    {"FieldsAreKeptToTheirWidthsAndOtherFormsTakeNegativeNumbers", "" FOLDERS, [](World& w) {
       IhrSpec ihr = Ihr(1, {{700.0f, -5, "w"}, {800.0f, 5, "w"}}), old = Ihr(2, {});
       ihr.versionLine = "2.00 any text", ihr.hostParam1 = -1, ihr.hostParam3 = 65536, ihr.hostParam4 = 273;
       ihr.slotCount = 258, ihr.lodEntryForm = 1, old.versionLine = "1.5";
       w.AddIhr("a.ihr", ihr), w.AddIhr("b.ihr", old); ihr.hostParam3 = 1, ihr.hostParam4 = 17;
       w.Saved().parents[1] = ParentFrom(ihr, {11, 0}); }, {}, 2},
    {"PointsPastTheListsAreReadAndDropped", "" FOLDERS, [](World& w) {
       IhrSpec ihr = Ihr(3, {});
       ihr.dynamicPoints.assign(11, {7, 8, 9}), ihr.slots.assign(26, {1, 2, 3});
       ihr.slots[25] = ihr.dynamicPoints[10] = {};  // where the next list begins
       w.AddIhr("a.ihr", ihr), ihr.dynamicPoints.resize(10), ihr.slots.resize(25);
       w.Saved().parents.push_back(ParentFrom(ihr, {})); }, {}, 2},
    {"AnEmptyLineInstallsFromTheCurrentFolder", "", [](World& w) {
       w.platform.SetCurrentDirectory(w.f.objectDir.string());
       w.f.modelDir = w.f.objectDir / "Models", fs::create_directory(w.f.modelDir); OneParentSaved(w); }, {}, 2},
    {"ADistanceSwitchWithoutNumbersIsAnInstallRun", "@distance" FOLDERS, OneParentSaved, {}, 2},
    {"AMissingHeaderEndsTheJob", "" FOLDERS, [](World& w) { fs::remove(w.f.hdrPath); },
     {Stop("Can not open ZarnoObj.hdr: $R/Objects/ZarnoObj.hdr")}},
    {"AHeaderThatCannotBeReadWholeIsNeverBuiltUpon", "@check" FOLDERS,
     [](World& w) { w.before.colorCount = 2001, w.Write(), OneParent(w); },
     {Stop("Can not read ZarnoObj.hdr: $R/Objects/ZarnoObj.hdr (the colour count is 0 or above the limit)",
           "File Read Error")}},
    {"NoInstallParentFiles", "" FOLDERS, [](World&) {}, {Stop("No Install Parent files (.ihr) found.", "Error")}},
    {"AReadOnlyLodEndsAnInstallRun", "" FOLDERS, [](World& w) { OneParent(w), w.ReadOnly(w.f.lodPath); },
     {Stop("Can not open ZarnoObj.lod: $R/Objects/ZarnoObj.lod")}},
    {"AReadOnlyHeaderKeepsItsBytesAndIsTold", "" FOLDERS, [](World& w) {
       w.AddIhr("a.ihr", Ihr(3, {{1.0f, -1, "m.3ds"}})); w.Appended({w.Model("m.lod", 1, 10)}), w.ReadOnly(w.f.hdrPath);
     }, {Stop("Can not write ZarnoObj.hdr: $R/Objects/ZarnoObj.hdr")}},
    {"AFolderInUseIsRefusedAfterTheWait", "" FOLDERS,
     [](World& w) { OneParent(w), w.platform.SetLockAttempt(LockAttempt::kBusy); },
     {Stop("Another run is using the object folder: $R/Objects")}, 0, nullptr, {}, true},
    {"AFolderWithoutALockFileIsStillInstalledInto", "" FOLDERS,
     [](World& w) { OneParentSaved(w), w.platform.SetLockAttempt(LockAttempt::kUnavailable); }, {}, 2},
    {"AnErrorListThatCannotBeCreatedEndsTheCheckRun", "@check" FOLDERS, OneParent,
     {Stop("Can not open ErrorList.txt: $R/Models//ErrorList.txt")}, 0, nullptr, {}, true, "ErrorList.txt"},
    {"CouldNotStart", "", [](World& w) { w.platform.SetCurrentDirectory(std::nullopt); },
     {{"Rigwright couldn't start!", "", BoxIcon::kNone}}, 0, nullptr, {}, false, nullptr, 0},
    {"ACheckRunListsEveryFindingAndChangesNothing", "@checkall" FOLDERS, [](World& w) {
       IhrSpec a = Ihr(5, {{0.0f, 3, "x.3ds"}, {100.0f, 9, "y.3ds"}, {200.0f, -1, "gone.3ds"}, {300.0f, -1, "gear"},
                           {400.0f, 6, "z"}});  // of 6 records, only a number above 6 is bad
       a.hitbox = {}, w.AddIhr("a.ihr", a); fs::create_directory(w.f.modelDir / "b.ihr");
       w.Raw("c.ihr", "2.0\r\nC\r\n0 0 5\r\nHitbox 1 2\r\nP 1 2\r\nP3 1\r\nD 0\r\nL 1\r\nP4 0\r\nP5 0\r\nS 0\r\n"
                      "1\r\n5\r\n-2 w\r\n"); w.Raw("d.ihr", "1.5\n"), w.Raw("ErrorList.txt", "old findings\n");
       w.Raw("e.ihr", "2.0\nE\n0 0 6\nH 1 2 3 4 5 6 7\nP 1 2\nP3 1\nD 2\nL 0\nP4 0\nP5 0\nS 0\n0\n1 2 3\nnone\n");
       w.AddIhr("f.ihr", Ihr(5001, {})); }, {kReport}, 2, LIST_HEAD "All Hitbox Values = 0.0f \t,a.ihr\n"
     "LOD #0 Distance = 0.0 \ta.ihr\n" "Bad LOD # \ta.ihr - 9\n" "Could not open model file: $R/Models/gone.lod.\n"
     "Could not open model file: $R/Models/gear\n.lod.\n" "Problem installing model $R/Models/a.ihr.\n"
     "Can not open ihr file: $R/Models/b.ihr File #2\n" "Duplicate Parents \t,c.ihr - 5\n" "Hitbox Error \t,c.ihr - 2\n"
     "999#END \tc.ihr\n" "Dynamics Error \te.ihr - 1 - 2\n" "Bad Parent Index \t,f.ihr - 5001\n", {}, true},
    {"ACheckRunNeverStopsForFailures", "@check" FOLDERS, [](World& w) { FailingFiles(w, 21, true); }, {kReport}, 2,
     LIST_HEAD, {}, true},
    {"ACheckRunOfAReadOnlyStoreStillRuns", "@check @compact" FOLDERS, [](World& w) {
       w.AddIhr("a.ihr", Ihr(3, {{1.0f, -1, "m.3ds"}}));
       w.Model("m.lod", 1, 10), w.ReadOnly(w.f.lodPath), w.ReadOnly(w.f.hdrPath); }, {kReport}, 2, LIST_HEAD, {}, true},
    {"ACheckRunTakesTheRegisteredFolder", "@check ~\"$R/Models\" ~\"$R/Elsewhere\"",
     [](World& w) { Registered(w, "$R/Objects"); }, {kReport}, 2, LIST_HEAD, {}, true},
    {"TheObjectFolderCheckMakesACheckRunOfTheRegisteredFolder", "~\"$R/Models\" ~\"CHECK\"",
     [](World& w) { Registered(w, "$R/Objects"); }, {kReport}, 2, LIST_HEAD, {}, true},
    {"ACheckRunKeepsTheArgumentWhenTheKeyCannotBeOpened", "@check" FOLDERS,
     [](World& w) { Registered(w, "$R/Elsewhere"), w.platform.SetRegistryKeyUnavailable(true); }, {kReport}, 2,
     LIST_HEAD, {}, true},
    {"PacksTheUsedBlobsFromOffsetZero", "@COMPACT" FOLDERS, CompactExample, {}, 0, nullptr,
     {kOpen, At(0), kRange4, At(0), At(2), kClose}},
    {"NothingToGiveBackTouchesNothing", "@compact" FOLDERS, [](World&) {}, {}, 0, nullptr, {}, true},
    {"ADamagedStoreIsRefused", "@compact" FOLDERS, [](World& w) { CompactExample(w), w.hdr.reset();
       w.lod = BuildLodFile(w.before), w.lod->resize(249);  // record 2 ends at 250
       ASSERT_TRUE(WriteFile(w.f.lodPath, *w.lod)); },
     {Stop("ZarnoObj.lod is damaged: record 2 runs past the end of $R/Objects/ZarnoObj.lod")}, 0, nullptr,
     {kOpen, At(0), kRange4, kClose}, true},
    {"AReadOnlyHeaderIsNamedWhenTheCompactionCannotReplaceIt", "@compact" FOLDERS,
     [](World& w) { CompactExample(w), w.ReadOnly(w.f.hdrPath), w.hdr.reset(), w.lod.reset(); },
     {Stop("Can not write ZarnoObj.hdr: $R/Objects/ZarnoObj.hdr")}, 0, nullptr,
     {kOpen, At(0), kRange4, At(0), At(2), kClose}},
    {"AHeaderHeldOpenByTheHostIsNamedSo", "@compact" FOLDERS,
     [](World& w) { CompactExample(w), w.ReadOnly(w.f.hdrPath), w.hdr.reset(), w.lod.reset();
                    w.platform.SetInUse("/ZarnoObj.hdr"); },
     {Stop("Can not write ZarnoObj.hdr: $R/Objects/ZarnoObj.hdr is in use by another program")}, 0, nullptr,
     {kOpen, At(0), kRange4, At(0), At(2), kClose}},
    {"SlotOneCapsOrdersClampsAndSpreads", "@distance -1 -1" FOLDERS,
     [](World& w) { Distances(w, {20000, 60000, 200000}, {ClassNaming({0, 2})}, {25000, 30000, 15000}); }},
    {"SlotZeroHasTheLargerCapAndARepeatedSlotIsPassedOver", "@distance -1 -1" FOLDERS,
     [](World& w) { Distances(w, {20000, 60000, 200000}, {ClassNaming({2, 2})}, {25000, 87500, 150000}); }},
    {"TwoDistancesAreNeverSpread", "@distance -1 -1" FOLDERS,
     [](World& w) { Distances(w, {20000, 60000}, {ClassNaming({0, 2})}, {25000, 15000}); }},
    {"OrderingAloneIsNotSaved", "@distance -1 -1" FOLDERS,
     [](World& w) { Distances(w, {30000, 12000, 10000}, {ClassNaming({0, 2})}, {}); }, {}, 0, nullptr, {}, true},
    {"TheFirstSelectorPicksClassesByTheirSecondIdByte", "@distance 3" FOLDERS,
     [](World& w) { Distances(w, {150, 900}, {ClassNaming({2}, 3), ClassNaming({1}, 9)}, {25000, 900}); }},
    {"TheSecondSelectorAndTheBandComeFromTheLine", "@distance -1 7 1000 5000" FOLDERS, [](World& w) {
       Distances(w, {7000, 9000}, {ClassNaming({1, 0, 2}, 0, 7)}, {5000, 9000});
       w.Saved().parents[1].lodRefs[0].lodDistance = 1000; }},
    {"NoMatchingClassLeavesTheHeader", "@distance -1 77" FOLDERS,
     [](World& w) { Distances(w, {1, 2}, {ClassNaming({2}, 0, 7)}, {}); }, {}, 0, nullptr, {}, true},
    {"AMissingClassTableIsTold", "@distance -1" FOLDERS, [](World&) {},
     {Stop("Can not open Orvane4.ct: $R/Objects/Orvane4.ct")}, 0, nullptr, {}, true},
    {"ADamagedClassTableIsTold", "@distance -1" FOLDERS, [](World& w) {
       ClassTableSpec cut; cut.classes = {ClassNaming({2})}, cut.cutTo = 50;
       EXPECT_TRUE(WriteFile(w.f.objectDir / "Orvane4.ct", BuildClassTableFile(cut))); },
     {Stop("Can not read Orvane4.ct: $R/Objects/Orvane4.ct")}, 0, nullptr, {}, true},
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }
class RigwrightTest : public testing::TestWithParam<Case> {};
TEST_P(RigwrightTest, LeavesExactlyWhatItShould) {
  const Case& c = GetParam(); World w; w.Write(), c.arrange(w);
  const Bytes hdrBefore = ReadFileBytes(w.f.hdrPath), lodBefore = ReadFileBytes(w.f.lodPath);
  if (c.failPath) w.platform.FailNth({}, c.failPath);
  EXPECT_EQ(RunRigwright(w.platform, w.Expand(c.line)), c.exitCode);
  std::vector<MessageBoxRecord> boxes = w.boxes;
  for (MessageBoxRecord box : c.boxes) boxes.push_back({w.Expand(box.text), box.caption, box.icon});
  EXPECT_EQ(w.platform.MessageBoxes(), boxes);
  EXPECT_EQ(w.platform.Beeps(), c.beeps);
  EXPECT_TRUE(w.platform.Failures().empty());
  EXPECT_EQ(w.platform.CloseRequests(), c.exitCode);
  EXPECT_EQ(w.platform.ProgressCalls(), c.progress);
  EXPECT_EQ(w.platform.Slept(), w.platform.WaitNotes().size() == 1 ? kLockWaitLimitMs : 0) << w.platform.Slept();
  EXPECT_EQ(ReadFileBytes(w.f.hdrPath), w.hdr ? BuildHeaderFile(*w.hdr) : hdrBefore);
  EXPECT_EQ(ReadFileBytes(w.f.lodPath), w.lod ? *w.lod : lodBefore);
  const fs::path list = w.f.modelDir / "ErrorList.txt";
  EXPECT_EQ(fs::exists(list) ? ReadFileText(list) : "none", c.list ? w.Expand(c.list) + w.listTail : "none");
  for (const fs::directory_entry& e : fs::directory_iterator(w.f.objectDir))
    EXPECT_FALSE(e.path().string().ends_with(".new") || e.path().extension() == ".journal") << e;
  for (const Operation& o : w.platform.Operations()) EXPECT_FALSE(c.writesNothing && o.kind == op::kReplaceFile) << o;
}
INSTANTIATE_TEST_SUITE_P(Cases, RigwrightTest, testing::ValuesIn(kCases), [](auto& i) { return i.param.name; });
}  // namespace
}  // namespace zarno
