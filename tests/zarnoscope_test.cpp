// Zarnoscope end to end on fixture folders: the exact lines of every command, the problems verify finds, the
// textures and models it writes back out, a round trip through Skinwright, and the LZSS decoder against the kit's
// plain encoder. No command may change a byte of the object folder.
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include "skinwright/skinwright_program.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
#include "zarnoscope/lzss_decoder.h"
#include "zarnoscope/zarnoscope_program.h"
namespace zarno {
namespace {
Bytes Pixels(const BmpSpec& image) {  // the top width rows, top row first
  Bytes pixels;
  for (int32_t r = 0; r < image.width; ++r) pixels.insert(pixels.end(), image.rows[r].begin(), image.rows[r].end());
  return pixels;
}
// The standard header made healthy: real streams for textures 0 (64 wide, palette 2) and 2 (32 wide, palette 5),
// and parent 2's LOD reference still to install pointing at LOD record 3.
struct Scope {
  TempFolder temp; fs::path obj = temp / "obj"; HeaderSpec hdr = StandardHeaderSpec();
  Bytes lod = BuildLodFile(hdr), stream0 = LzssCompressReference(Pixels(StandardTextureBmp(64, 64, 2, 1))),
        stream2 = LzssCompressReference(Pixels(StandardTextureBmp(32, 32, 5, 2))), tex = stream0;
  std::map<std::string, Bytes> extra;  // other files of the object folder
  std::optional<size_t> cutHeader;
  ProgramOutput output;
  Scope() {
    tex.insert(tex.end(), stream2.begin(), stream2.end());
    hdr.textures[0] = {0, Size(stream0), 64, 0, 0, 0xE0, 0, 0, 2, 0};
    hdr.textures[2] = {Size(stream0), Size(stream2), 32, 0, 0, 0xA0, 0xFF7F5903, 0, 5, 0};
    hdr.parents[2].lodRefs[1].lodRef = 7;
  }
  static uint32_t Size(const Bytes& bytes) { return static_cast<uint32_t>(bytes.size()); }
  void Write() {
    fs::create_directories(obj / "ZarnoObj");
    Bytes header = BuildHeaderFile(hdr);
    header.resize(cutHeader.value_or(header.size()));
    ASSERT_TRUE(WriteFile(obj / "ZarnoObj.hdr", header) && WriteFile(obj / "ZarnoObj.lod", lod));
    ASSERT_TRUE(WriteFile(obj / "ZarnoObj.tex", tex));
    for (const auto& [name, bytes] : extra) ASSERT_TRUE(name.empty() || WriteFile(obj / name, bytes));
  }
  std::map<std::string, Bytes> Files() const {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(obj)) {
      if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path());
    }
    return files;
  }
  // Runs the command with the object folder as its last argument; the folder must stay as it was.
  int Run(std::vector<std::string> args, Platform* platform = nullptr) {
    PosixPlatform posix("zarnoscope", false);
    const std::map<std::string, Bytes> before = Files();
    args.push_back(obj.string());
    output = {};
    const int exit = RunZarnoscope(platform ? *platform : posix, args, output);
    EXPECT_EQ(Files(), before) << "the object folder changed";
    return exit;
  }
};
TEST(ZarnoscopeTest, ListingsOfAHealthyFolder) {
  Scope s;
  s.hdr.parents.emplace_back().hostParam3 = 0;  // parent 3: all zero, free
  s.Write();
  const std::string t0 = std::to_string(s.stream0.size()), t2 = std::to_string(s.stream2.size());
  const std::string both = std::to_string(s.tex.size());
  const struct { std::vector<std::string> args; std::string out; } cases[] = {
      {{"summary"},
       "ZarnoObj.hdr: size 15472, readWhole yes\nRigwright: acceptsHeader yes\nSkinwright: acceptsHeader yes\n"
       "colours: count 3, rigwrightLimit 2000, skinwrightLimit 4000\n"
       "palettes: count 14, rigwrightLimit 1000, skinwrightLimit 2000, fixed 14, added 0\n"
       "textures: count 3, rigwrightLimit 8000, skinwrightLimit 10000, inUse 2\n"
       "lods: count 6, rigwrightLimit 20000, skinwrightLimit 20000, inUse 4, free 2\n"
       "parents: count 4, rigwrightLimit 5000, skinwrightLimit 10000, inUse 3\n"
       "ZarnoObj.lod: present yes, size 290, bytesKept 250, compactionGivesBack 0\n"
       "ZarnoObj.tex: present yes, size " + both + ", bytesKept " + both + ", compactionGivesBack 0\n"
       "ddsFiles: count 0\nupdate: interrupted no, journal no, leftoverFiles 0\n"},
      {{"lods"},
       "lod 0, fileOffset 10, fileSize 100, inUse yes, referenced yes\n"
       "lod 1, fileOffset 0, fileSize 0, inUse no, referenced no\n"
       "lod 2, fileOffset 120, fileSize 50, inUse yes, referenced yes\n"
       "lod 3, fileOffset 180, fileSize 70, inUse yes, referenced yes\n"
       "lod 4, fileOffset 0, fileSize 0, inUse no, referenced no\n"
       "lod 5, fileOffset 260, fileSize 30, inUse yes, referenced yes\n"},
      {{"textures"},
       "texture 0, fileOffset 0, dataSize " + t0 + ", inUse yes, width 64, palette 2, flags 0xE0, color 0x00000000\n"
       "texture 1, fileOffset 0, dataSize 0, inUse no, width 0, palette 0, flags 0x00, color 0x00000000\n"
       "texture 2, fileOffset " + t0 + ", dataSize " + t2 + ", inUse yes, width 32, palette 5, flags 0xA0, "
       "color 0xFF7F5903\n"},
      {{"parents"},
       "parent 0, hitbox [1.5 3 4.5 6 7.5 9 10.5], slots 3, dynamicPoints 1, lodRefs 2, lods [lodRef 1, record 0, "
       "size 100, distance 100; lodRef 5, record 2, size 50, distance 400]\n"
       "parent 1, hitbox [4 8 12 16 20 24 28], slots 0, dynamicPoints 0, lodRefs 1, lods [lodRef 7, record 3, "
       "size 70, distance 250]\n"
       "parent 2, hitbox [8 16 24 32 40 48 56], slots 25, dynamicPoints 10, lodRefs 2, lods [lodRef 11, record 5, "
       "size 30, distance 150; lodRef 7, record 3, size 70, distance 900]\n"},
      {{"free"}, "free parents: 3-4999\nfree textures: 1, 3-9999\n"},
      {{"--json", "free"}, "{\"parents\":[[3,4999]],\n\"textures\":[[1,1],[3,9999]]}\n"},
      {{"lods", "--json"},
       "{\n\"lods\":[\n{\"lod\":0,\"fileOffset\":10,\"fileSize\":100,\"inUse\":true,\"referenced\":true},\n"
       "{\"lod\":1,\"fileOffset\":0,\"fileSize\":0,\"inUse\":false,\"referenced\":false},\n"
       "{\"lod\":2,\"fileOffset\":120,\"fileSize\":50,\"inUse\":true,\"referenced\":true},\n"
       "{\"lod\":3,\"fileOffset\":180,\"fileSize\":70,\"inUse\":true,\"referenced\":true},\n"
       "{\"lod\":4,\"fileOffset\":0,\"fileSize\":0,\"inUse\":false,\"referenced\":false},\n"
       "{\"lod\":5,\"fileOffset\":260,\"fileSize\":30,\"inUse\":true,\"referenced\":true}]\n}\n"},
      {{"verify"}, "no problems found\n"},
      {{"--json", "verify"}, "{\"healthy\":true,\"problems\":[]}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    EXPECT_EQ(s.Run(c.args), 0);
    EXPECT_EQ(s.output.out, c.out);
    EXPECT_EQ(s.output.err, "");
  }
  EXPECT_EQ(s.Run({"palettes"}), 0);
  EXPECT_NE(s.output.out.find("\npalette 5, kind fixed, colorWord 0xFF7F5903, palWord0 5, palWord1 261, textures 1\n"),
            std::string::npos) << s.output.out;
}
// One line per problem, naming the file and the record; exit status 1.
TEST(ZarnoscopeTest, VerifyTellsEveryProblem) {
  using Change = std::function<void(Scope&)>;
  const struct { const char* what; Change change; std::function<std::string(const Scope&)> lines; } cases[] = {
      {"a blob past the store, one overlapping another", [](Scope& s) {
         s.hdr.lods[3].fileSize = 1000, s.hdr.lods[2].fileOffset = 100; },
       [](const Scope&) { return
         "ZarnoObj.lod: lod 3: its 1000 bytes at offset 180 lie outside ZarnoObj.lod (290 bytes)\n"
         "ZarnoObj.lod: lod 2: its bytes overlap those of lod 0\n"
         "ZarnoObj.lod: lod 5: its bytes overlap those of lod 3\n"; }},
      {"LOD references to a free record, an even number, past the records, one never installed", [](Scope& s) {
         s.hdr.parents[0].lodRefs = {{3}, {4}, {13}, {-1}}; },
       [](const Scope&) { return
         "ZarnoObj.hdr: parent 0: LOD reference 0 names lod 1, which is free\n"
         "ZarnoObj.hdr: parent 0: LOD reference 1 (4) is not 2k + 1 for a LOD record k\n"
         "ZarnoObj.hdr: parent 0: LOD reference 2 names lod 6, past the last record\n"
         "ZarnoObj.hdr: parent 0: LOD reference 3 (-1) was never installed: its model file was missing\n"; }},
      {"texture fields: outside the store, a missing palette, no texture width", [](Scope& s) {
         s.hdr.textures[2].fileOffset = 1000000, s.hdr.textures[2].paletteIndex = 14, s.hdr.textures[0].width = 48; },
       [](const Scope& s) { return "ZarnoObj.tex: texture 0: width 48 is not a power of two from 16 to 4096\n"
         "ZarnoObj.tex: texture 2: its " + std::to_string(s.stream2.size()) + " bytes at offset 1000000 lie outside "
         "ZarnoObj.tex (" + std::to_string(s.tex.size()) + " bytes)\nZarnoObj.tex: texture 2: palette 14 is not there "
         "(14 palettes)\n"; }},
      {"streams: too short, with a byte left over, one running past its pixels", [](Scope& s) {
         s.hdr.textures[0].dataSize = 1, s.tex.push_back(0x5A), ++s.hdr.textures[2].dataSize;
         s.hdr.textures.push_back({Scope::Size(s.tex), 0, 16, 0, 0, 0xA0, 0, 0, 0, 0});
         for (int group = 0; group < 31; ++group) s.tex.push_back(0xFF), s.tex.insert(s.tex.end(), 8, 7);
         s.tex.insert(s.tex.end(), {0x03, 1, 2, 0xF0, 0x00});  // 2 literals, then 17 bytes where 6 are left
         s.hdr.textures[3].dataSize = Scope::Size(s.tex) - s.hdr.textures[3].fileOffset; },
       [](const Scope& s) { const std::string n = std::to_string(s.stream2.size()); return
         "ZarnoObj.tex: texture 0: its 1 stored bytes decode to only 0 of 4096 pixels\n"
         "ZarnoObj.tex: texture 2: its stream makes 1024 pixels from " + n + " of its " +
         std::to_string(s.stream2.size() + 1) + " stored bytes\n"
         "ZarnoObj.tex: texture 3: its stream runs past 256 pixels (a match at pixel 250)\n"; }},
      {"DDS files without a record, a name that is no identifier", [](Scope& s) {
         s.extra = {{"ZarnoObj/5.dds", {1}}, {"ZarnoObj/0.dds", {1}}, {"ZarnoObj/x1.DDS", {1}}}; },
       [](const Scope&) { return "ZarnoObj/5.dds: texture 5 has no record in use\n"
         "ZarnoObj/x1.DDS: its name is not a texture identifier followed by .dds\n"; }},
      {"an interrupted update", [](Scope& s) {
         s.extra = {{"ZarnoObj.journal", {1}}, {"ZarnoObj.lod.new", {}}, {"ZarnoObj/0.dds.new", {1}}}; },
       [](const Scope&) { return
         "ZarnoObj.journal: an update was interrupted; the next run of Rigwright or Skinwright finishes it\n"
         "ZarnoObj.lod.new: left by an interrupted update; the next run of Rigwright or Skinwright finishes it\n"
         "ZarnoObj/0.dds.new: left by an interrupted update; the next run of Rigwright or Skinwright finishes it\n"; }},
      {"a header cut short, and what it holds is still checked", [](Scope& s) {
         s.cutHeader = OffsetsOf(s.hdr).end - 1, s.hdr.textures[0].width = 8; },
       [](const Scope&) { return
         "ZarnoObj.hdr: cannot be read whole: the file ends before its last parent's lists\n"
         "ZarnoObj.tex: texture 0: width 8 is not a power of two from 16 to 4096\n"; }},
      {"more palettes than Rigwright takes", [](Scope& s) {
         for (uint32_t k = 14; k <= 1000; ++k) s.hdr.palettes.push_back(TestPalette(k)); },
       [](const Scope&) { return
         "ZarnoObj.hdr: Rigwright would refuse it: the palette count is 0 or above the limit\n"; }},
      {"stores that are not there", [](Scope& s) { s.extra = {{"", {}}}; },
       [](const Scope&) { return "ZarnoObj.lod: is not there, but 4 LOD records are in use\n"
         "ZarnoObj.tex: is not there, but 2 texture records are in use\n"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scope s;
    c.change(s);
    s.Write();
    if (s.extra.count("")) fs::remove(s.obj / "ZarnoObj.lod"), fs::remove(s.obj / "ZarnoObj.tex");
    EXPECT_EQ(s.Run({"verify"}), 1);
    const std::string lines = c.lines(s);
    EXPECT_EQ(s.output.out, lines + std::to_string(std::count(lines.begin(), lines.end(), '\n')) + " problems found\n");
  }
}
TEST(ZarnoscopeTest, UsageAndFolderErrorsAndTheOutputsOfTexturesAndModels) {
  Scope s;
  s.Write();
  const struct { std::vector<std::string> args; int exit; std::string err; } cases[] = {
      {{"frobnicate"}, 2, "zarnoscope: unknown command frobnicate\n"},
      {{"texture"}, 2, "zarnoscope: wrong number of arguments for texture\n"},
      {{"--json", "model", "0", "x"}, 2, "zarnoscope: --json does not apply to model\n"},
      {{"texture", "x1", "out.bmp"}, 2, "zarnoscope: not a texture identifier: x1\n"},
      {{"summary", "-v"}, 2, "zarnoscope: unknown option -v\n"},
      {{"texture", "1", (s.temp / "1.bmp").string()}, 1, "zarnoscope: texture 1 is not in use\n"},
      {{"model", "4", (s.temp / "4").string()}, 1, "zarnoscope: lod 4 is not in use\n"},
      {{"model", "0", (s.temp / "no" / "0").string()}, 1, "zarnoscope: Can not write " + (s.temp / "no/0").string() + "\n"},
      {{"model", "2", (s.obj / "zarnoobj.HDR").string()}, 2, "zarnoscope: will not write " +
                                                            (s.obj / "zarnoobj.HDR").string() + ": the name is one "
                                                            "of an object folder's own files\n"},
      {{"model", "2", (s.temp / "2").string()}, 0, ""},
      {{"texture", "2", (s.temp / "2.bmp").string()}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    EXPECT_EQ(s.Run(c.args), c.exit);
    EXPECT_EQ(s.output.err.substr(0, s.output.err.find('\n') + 1), c.err);
  }
  EXPECT_EQ(ReadFileBytes(s.temp / "2"), BlobBytes(2, 50));
  BmpSpec image = StandardTextureBmp(32, 32, 5, 2);  // as written: its colour count, no resolution, the image size
  image.clrUsed = 256;
  Bytes expected = BuildBmpFile(image);
  for (const auto& [at, value] : {std::pair{34, 32 * 32}, {38, 0}, {42, 0}}) {
    for (int i = 0; i < 4; ++i) expected[at + i] = uint8_t(value >> 8 * i);
  }
  EXPECT_EQ(ReadFileBytes(s.temp / "2.bmp"), expected);
  fs::remove(s.obj / "ZarnoObj.hdr");
  EXPECT_EQ(s.Run({"summary"}), 2);
  EXPECT_EQ(s.output.err, "zarnoscope: Can not open ZarnoObj.hdr: " + (s.obj / "ZarnoObj.hdr").string() + "\n");
}
// Textures written out and installed again under the same identifiers match the same palettes and give the same
// stored bytes; the gallery shows each of them from the same images.
TEST(ZarnoscopeTest, TexturesGoThroughSkinwrightAndBackUnchanged) {
  Scope s;
  s.Write();
  fs::create_directories(s.temp / "in");
  BmpSpec fresh = StandardTextureBmp(128, 130, 0, 9);
  for (int i = 0; i < 256; ++i) fresh.colors[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
  ASSERT_TRUE(WriteFile(s.temp / "in" / "7.bmp", BuildBmpFile(fresh)));
  ASSERT_TRUE(WriteFile(s.temp / "in" / "9.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 2, 4))));
  RecordingPlatform skin("skinwright");
  const std::string folders = " ~\"" + (s.temp / "in").string() + "\" ~\"" + s.obj.string() + "\"";
  ASSERT_EQ(RunSkinwright(skin, folders), 1);
  EXPECT_EQ(s.Run({"textures"}), 0);
  const std::string records = s.output.out;
  ASSERT_NE(records.find("texture 7, fileOffset " + std::to_string(s.tex.size()) + ", dataSize " + std::to_string(LzssCompressReference(Pixels(fresh))
            .size()) + ", inUse yes, width 128, palette 14, flags 0xA0"), std::string::npos) << records;
  fs::remove_all(s.temp / "in"), fs::create_directories(s.temp / "in");
  for (const char* id : {"0", "2", "7", "9"}) {
    ASSERT_EQ(s.Run({"texture", id, (s.temp / "in" / (std::string(id) + ".bmp")).string()}), 0) << id;
  }
  const Bytes storeBefore = ReadFileBytes(s.obj / "ZarnoObj.tex");
  ASSERT_EQ(RunSkinwright(skin, folders), 1);
  EXPECT_EQ(ReadFileBytes(s.obj / "ZarnoObj.tex"), storeBefore) << "the same streams, packed in the same order";
  EXPECT_EQ(s.Run({"textures"}), 0);
  EXPECT_EQ(s.output.out, records);
  EXPECT_EQ(s.Run({"summary"}), 0);
  EXPECT_NE(s.output.out.find("palettes: count 15,"), std::string::npos) << "no palette added again";
  EXPECT_EQ(s.Run({"gallery", (s.temp / "page").string()}), 0);
  EXPECT_EQ(s.output.out, "4 textures shown in " + (s.temp / "page").string() + "\n");
  for (const char* id : {"0", "2", "7", "9"}) {
    EXPECT_EQ(ReadFileBytes(s.temp / "page" / (std::string(id) + ".bmp")),
              ReadFileBytes(s.temp / "in" / (std::string(id) + ".bmp"))) << id;
  }
  const std::string page = ReadFileText(s.temp / "page" / "index.html");
  EXPECT_NE(page.find("<figure><img src=\"7.bmp\" width=\"256\" height=\"256\" alt=\"texture 7\"><figcaption>texture 7"
                      "<br>128 &times; 128, palette 14, flags 0xA0<br>"), std::string::npos) << page;
}
// A failure to read any file is never taken for a healthy folder, and nothing breaks.
TEST(ZarnoscopeTest, AFailedOperationIsNeverAHealthyFolder) {
  Scope s;
  s.hdr.textures[2].paletteIndex = 20;
  s.Write();
  for (size_t n = 1;; ++n) {
    RecordingPlatform platform("zarnoscope");
    platform.SetFault(FaultMode::kOnce, n);
    const int exit = s.Run({"verify"}, &platform);
    if (platform.Operations().size() < n) break;
    EXPECT_TRUE(exit == 1 || exit == 2) << "operation " << n << ": " << platform.Operations()[n - 1];
  }
}
TEST(ZarnoscopeTest, TheDecoderUndoesTheEncoder) {
  const Bytes inputs[] = {MakeTextureImage(64, 64, 1), MakeTextureImage(256, 256, 2), MakeRandomBytes(5000, 3),
                          Bytes(10000, 0), Bytes(4097, 9)};
  for (const Bytes& input : inputs) {
    const Bytes stream = LzssCompressReference(input);
    Bytes output(input.size());
    const LzssDecodeResult result = LzssDecode(stream, output);
    EXPECT_EQ(result.outcome, LzssDecodeOutcome::kExact);
    EXPECT_EQ(output, input);
    for (size_t cut = 0; cut < stream.size(); cut += 97) {
      Bytes part(input.size());
      EXPECT_EQ(LzssDecode(std::span(stream).first(cut), part).outcome, LzssDecodeOutcome::kStreamTooShort);
    }
  }
  // The ring starts zeroed and the first byte goes to position 1: a match at 4000 reads zeros, one at 1 the
  // literal, one at 4 the bytes it has just produced itself.
  const Bytes stream = {0x01, 'A', 0x0F, 0xA0, 0x00, 0x01, 0x10, 0x04};
  Bytes output(8, 0xEE);
  EXPECT_EQ(LzssDecode(stream, output).outcome, LzssDecodeOutcome::kExact);
  EXPECT_EQ(output, (Bytes{'A', 0, 0, 'A', 0, 'A', 0, 'A'}));
}
}  // namespace
}  // namespace zarno
