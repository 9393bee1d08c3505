#include "zarnoscope/inspected_folder.h"

#include <algorithm>
#include <cstring>

#include "core/file_utils.h"
#include "core/install_paths.h"
#include "core/replacement_journal.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

HeaderVerdict VerdictOf(ReadStatus status, const HeaderDatabase& db) {
  HeaderVerdict verdict{status, IsSafeToWriteBack(status, db), {}};
  if (!verdict.accepted) verdict.reason = std::string(DescribeReadStatus(status));
  return verdict;
}

// The files an interrupted update leaves: the ".new" names of the object
// files, of the journal and of the DDS copies.
std::vector<std::string> LeftoverNames(Platform& platform, const InspectedFolder& folder) {
  std::vector<std::string> names;
  for (std::string_view file : {kHeaderFileName, kLodFileName, kTexFileName, kJournalFileName}) {
    const std::string name = std::string(file) + std::string(kNewFileSuffix);
    if (platform.FileSize(folder.PathOf(name))) names.push_back(name);
  }
  std::vector<std::string> dds = platform.FindFiles(folder.PathOf(folder.DdsName("*.dds.new")));
  std::sort(dds.begin(), dds.end());
  for (const std::string& name : dds) names.push_back(folder.DdsName(name));
  return names;
}

}  // namespace

std::string InspectedFolder::DdsName(std::string_view name) const {
  return std::string(kDdsFolderName) + separator + std::string(name);
}

uint32_t InspectedFolder::TextureRecords() const {
  return static_cast<uint32_t>(std::min<size_t>(db->textureCount, db->TextureTable.size()));
}
uint32_t InspectedFolder::LodRecords() const {
  return static_cast<uint32_t>(std::min<size_t>(db->lodCount, db->LodTable.size()));
}
uint32_t InspectedFolder::ParentRecords() const {
  return static_cast<uint32_t>(std::min<size_t>(db->parentCount, db->ParentTable.size()));
}
uint32_t InspectedFolder::PaletteRecords() const {
  return static_cast<uint32_t>(std::min<size_t>(db->paletteCount, db->PaletteTable.size()));
}

std::optional<InspectedFolder> InspectFolder(Platform& platform, const std::string& dir, std::string& error,
                                             const InspectionLimits& limits) {
  InspectedFolder folder;
  folder.limits = limits;
  folder.separator = platform.PathSeparator();
  folder.dirSlash = dir.empty() || dir.back() == folder.separator ? dir : dir + folder.separator;
  const std::string hdrPath = folder.PathOf(kHeaderFileName);
  std::vector<uint8_t> header;
  if (!ReadWholeFile(platform, hdrPath, header)) {
    error = (FileHasContent(platform, hdrPath) ? "Can not read ZarnoObj.hdr: " : "Can not open ZarnoObj.hdr: ") +
            hdrPath;
    return std::nullopt;
  }
  folder.headerSize = header.size();
  const auto rigwrightDb = std::make_unique<HeaderDatabase>(limits.rigwright);
  folder.rigwright = VerdictOf(ReadHeaderDatabase(header, *rigwrightDb, false), *rigwrightDb);
  folder.db = std::make_unique<HeaderDatabase>(limits.skinwright);
  folder.status = ReadHeaderDatabase(header, *folder.db, false);
  folder.skinwright = VerdictOf(folder.status, *folder.db);
  folder.lodSize = platform.FileSize(folder.PathOf(kLodFileName));
  folder.texSize = platform.FileSize(folder.PathOf(kTexFileName));
  folder.ddsNames = platform.FindFiles(folder.PathOf(folder.DdsName("*.dds")));
  std::sort(folder.ddsNames.begin(), folder.ddsNames.end());
  folder.journal = platform.FileSize(folder.PathOf(kJournalFileName)).has_value();
  folder.leftovers = LeftoverNames(platform, folder);
  return folder;
}

bool ParentInUse(const HeaderDatabase& db, uint32_t index) {
  const auto zero = [](const auto& record) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](uint8_t byte) { return byte == 0; });
  };
  return !zero(db.ParentTable[index]) || !zero(db.ParentLists[index]);
}

bool ReadStoreRange(File& store, uint64_t offset, uint32_t size, std::vector<uint8_t>& bytes) {
  bytes.resize(size);
  return store.Seek(offset) && store.Read(bytes.data(), size) == size;
}

}  // namespace zarno
