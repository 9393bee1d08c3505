#include "zarnoscope/folder_check.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <tuple>

#include "core/ascii_case.h"
#include "core/format.h"
#include "core/install_paths.h"
#include "core/ordered_workers.h"
#include "core/worker_threads.h"
#include "core/replacement_journal.h"
#include "skinwright/texture_id.h"
#include "skinwright/texture_store.h"
#include "zarnoscope/texture_reader.h"

namespace zarno {
namespace {

using BlobKey = std::tuple<uint32_t, uint32_t, uint32_t>;  // offset, size, width

struct DecodeBatch {
  std::vector<BlobKey> keys;
  std::vector<std::vector<uint8_t>> streams;
  std::vector<TextureRecord> records;
  size_t pixels = 0;
};
using DecodeResults = std::vector<std::optional<std::string>>;
using TextureDecoders = OrderedWorkers<DecodeBatch, DecodeResults, std::vector<uint8_t>>;

DecodeResults DecodeJob(std::vector<uint8_t>& pixels, DecodeBatch& batch) {
  DecodeResults results;
  for (size_t i = 0; i < batch.streams.size(); ++i) {
    results.push_back(DecodeTextureStream(batch.streams[i], batch.records[i], pixels));
  }
  return results;
}

constexpr const char* kNextRunFinishes = "the next run of Rigwright or Skinwright finishes it";

class FolderChecker {
 public:
  FolderChecker(Platform& platform, const InspectedFolder& folder) : platform_(platform), folder_(folder) {}

  std::vector<FolderProblem> Run() {
    CheckHeader();
    CheckLodRecords();
    CheckLodReferences();
    CheckTextures();
    CheckDdsFiles();
    CheckInterruptedUpdate();
    return std::move(problems_);
  }

 private:
  void Add(std::string_view file, std::string record, std::string text) {
    problems_.push_back({std::string(file), std::move(record), std::move(text)});
  }

  void CheckHeader() {
    if (folder_.status != kReadOk) {
      Add(kHeaderFileName, "", Format("cannot be read whole: %s", DescribeReadStatus(folder_.status).data()));
    } else if (!folder_.skinwright.accepted) {
      Add(kHeaderFileName, "", "Skinwright would refuse it: " + folder_.skinwright.reason);
    }
    if (folder_.status == kReadOk && !folder_.rigwright.accepted) {
      Add(kHeaderFileName, "", "Rigwright would refuse it: " + folder_.rigwright.reason);
    }
  }

  // A store that is not there while records are in use: one line for all of them.
  void CheckStorePresent(std::string_view store, bool present, uint32_t recordsInUse, const char* kind) {
    if (!present && recordsInUse > 0) {
      Add(store, "", Format("is not there, but %u %s records are in use", recordsInUse, kind));
    }
  }

  void CheckLodRecords() {
    const HeaderDatabase& db = *folder_.db;
    std::vector<std::tuple<uint64_t, uint64_t, uint32_t>> blobs;  // offset, end, record
    for (uint32_t k = 0; k < folder_.LodRecords(); ++k) {
      const LodRecord& record = db.LodTable[k];
      if (record.fileSize == 0) continue;
      const uint64_t end = uint64_t{record.fileOffset} + record.fileSize;
      if (folder_.lodSize && end > *folder_.lodSize) {
        Add(kLodFileName, Format("lod %u", k),
            Format("its %u bytes at offset %u lie outside ZarnoObj.lod (%llu bytes)", record.fileSize,
                   record.fileOffset, static_cast<unsigned long long>(folder_.lodSize.value_or(0))));
      }
      blobs.emplace_back(record.fileOffset, end, k);
    }
    CheckStorePresent(kLodFileName, folder_.lodSize.has_value(), static_cast<uint32_t>(blobs.size()), "LOD");
    std::sort(blobs.begin(), blobs.end());
    std::optional<std::tuple<uint64_t, uint64_t, uint32_t>> reaching;  // the blob reaching furthest so far
    for (const auto& blob : blobs) {
      if (reaching && std::get<0>(blob) < std::get<1>(*reaching)) {
        Add(kLodFileName, Format("lod %u", std::get<2>(blob)),
            Format("its bytes overlap those of lod %u", std::get<2>(*reaching)));
      }
      if (!reaching || std::get<1>(blob) > std::get<1>(*reaching)) reaching = blob;
    }
  }

  void CheckLodReferences() {
    const HeaderDatabase& db = *folder_.db;
    for (uint32_t p = 0; p < folder_.ParentRecords(); ++p) {
      const uint32_t refs = std::min<uint32_t>(db.ParentTable[p].lodRefCount, kMaxLodRefs);
      for (uint32_t j = 0; j < refs; ++j) {
        const std::optional<std::string> problem = LodReferenceProblem(db.ParentLists[p].lodRef[j]);
        if (problem) Add(kHeaderFileName, Format("parent %u", p), Format("LOD reference %u ", j) + *problem);
      }
    }
  }

  std::optional<std::string> LodReferenceProblem(int32_t lodRef) const {
    if (lodRef < 0) return Format("(%d) was never installed: its model file was missing", lodRef);
    const std::optional<uint32_t> record = LodRecordOf(lodRef);
    if (!record) return Format("(%d) is not 2k + 1 for a LOD record k", lodRef);
    const uint32_t k = *record;
    if (k >= folder_.LodRecords()) return Format("names lod %u, past the last record", k);
    if (folder_.db->LodTable[k].fileSize == 0) return Format("names lod %u, which is free", k);
    return std::nullopt;
  }

  // Every texture in use: its fields, then its stream decoded. The streams
  // are read here in record order and decoded on every core; records that
  // share one blob (the DDS placeholders) decode it once.
  void CheckTextures() {
    TextureReader reader(platform_, folder_);
    DecodeEveryStream(reader);
    uint32_t inUse = 0;
    for (uint32_t id = 0; id < folder_.TextureRecords(); ++id) {
      const TextureRecord& record = folder_.db->TextureTable[id];
      if (!TextureInUse(record)) continue;
      ++inUse;
      for (std::string& problem : reader.RecordProblems(id)) Add(kTexFileName, Format("texture %u", id), problem);
      const auto found = decoded_.find({record.fileOffset, record.dataSize, record.width});
      if (reader.Decodable(id) && found->second) Add(kTexFileName, Format("texture %u", id), *found->second);
    }
    CheckStorePresent(kTexFileName, folder_.texSize.has_value(), inUse, "texture");
  }

  void DecodeEveryStream(TextureReader& reader) {
    TextureDecoders decoders(WorkerThreads(platform_), DecodeJob);
    std::deque<std::vector<BlobKey>> decoding;
    const auto takeOldest = [&] {
      const DecodeResults results = decoders.TakeOldest();
      for (size_t i = 0; i < results.size(); ++i) decoded_[decoding.front()[i]] = results[i];
      decoding.pop_front();
    };
    DecodeBatch batch;
    const auto submit = [&] {
      if (decoders.InFlight() == decoders.Capacity()) takeOldest();
      decoding.push_back(batch.keys);
      decoders.Submit(std::move(batch));
      batch = {};
    };
    for (uint32_t id = 0; id < folder_.TextureRecords(); ++id) {
      const TextureRecord& record = folder_.db->TextureTable[id];
      const BlobKey key{record.fileOffset, record.dataSize, record.width};
      if (!TextureInUse(record) || !reader.Decodable(id) || decoded_.count(key)) continue;
      std::vector<uint8_t> stream;
      if ((decoded_[key] = reader.ReadStream(id, stream))) continue;
      batch.keys.push_back(key), batch.streams.push_back(std::move(stream)), batch.records.push_back(record);
      if ((batch.pixels += size_t{record.width} * record.width) >= kVerifyBatchPixels) submit();
    }
    if (!batch.keys.empty()) submit();
    while (!decoding.empty()) takeOldest();
  }

  void CheckDdsFiles() {
    for (const std::string& name : folder_.ddsNames) {
      const std::optional<int32_t> id = TextureIdOfName(name);
      if (!id || *id < 0 || std::to_string(*id) + ".dds" != FoldAsciiCase(name)) {
        Add(folder_.DdsName(name), "", "its name is not a texture identifier followed by .dds");
      } else if (static_cast<uint32_t>(*id) >= folder_.TextureRecords() ||
                 !TextureInUse(folder_.db->TextureTable[static_cast<uint32_t>(*id)])) {
        Add(folder_.DdsName(name), "", Format("texture %d has no record in use", *id));
      }
    }
  }

  void CheckInterruptedUpdate() {
    if (folder_.journal) {
      Add(kJournalFileName, "", std::string("an update was interrupted; ") + kNextRunFinishes);
    }
    for (const std::string& name : folder_.leftovers) {
      Add(name, "", std::string("left by an interrupted update; ") + kNextRunFinishes);
    }
  }

  Platform& platform_;
  const InspectedFolder& folder_;
  std::vector<FolderProblem> problems_;
  std::map<BlobKey, std::optional<std::string>> decoded_;  // why each blob does not decode, if it does not
};

}  // namespace

std::vector<FolderProblem> CheckFolder(Platform& platform, const InspectedFolder& folder) {
  return FolderChecker(platform, folder).Run();
}

}  // namespace zarno
