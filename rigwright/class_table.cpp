#include "rigwright/class_table.h"

#include "core/byte_stream.h"
#include "core/file_utils.h"
#include "core/format.h"

namespace zarno {
namespace {

// Reads class record i as the host's reader does: it seeks to the record's
// identifying bytes and steps over the fields it does not keep.
void ReadClassRecord(ByteReader& in, size_t i, ClassRecord& record) {
  in.Seek(kClassCountSize + kClassRecordSize * i + kClassIdOffset);
  for (uint8_t& idByte : record.idBytes) idByte = in.ReadByte();
  in.Skip(kClassSkipAfterId);
  in.ReadFloat();  // read and not kept
  in.Skip(kClassSkipAfterFloat);
  for (uint16_t& index : record.parentIndex) index = in.ReadShort();
  record.selectorByte = in.ReadByte();
  record.classWord = in.ReadLong();
}

}  // namespace

ClassTableParse ParseClassTable(std::span<const uint8_t> file, ClassDatabase& classes) {
  ByteReader in(file);
  const auto count = static_cast<int16_t>(in.ReadShort());
  if (in.ReadPastEnd()) return ClassTableParse::kTruncated;
  if (count < 0) return ClassTableParse::kNegativeCount;
  std::vector<ClassRecord> table(static_cast<size_t>(count), ClassRecord{});
  for (size_t i = 0; i < table.size() && !in.ReadPastEnd(); ++i) ReadClassRecord(in, i, table[i]);
  if (in.ReadPastEnd()) return ClassTableParse::kTruncated;
  classes.classCount = count;
  classes.ClassTable = std::move(table);
  return ClassTableParse::kRead;
}

std::string ClassTablePath(std::string_view objectDirSlash) {
  return std::string(objectDirSlash) + std::string(kClassTableFileName);
}

bool ReadClassTable(Platform& platform, std::string_view objectDirSlash, ClassDatabase& classes,
                    std::string& message) {
  const std::string path = ClassTablePath(objectDirSlash);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(platform, path, bytes)) {
    message = Format("Can not open Orvane4.ct: %s", path.c_str());
    return false;
  }
  if (ParseClassTable(bytes, classes) != ClassTableParse::kRead) {
    message = Format("Can not read Orvane4.ct: %s", path.c_str());
    return false;
  }
  return true;
}

}  // namespace zarno
