// What a command prints, held as named facts so that one listing gives both
// its text lines and its JSON. A row is a line of text ("lod 5, fileOffset
// 1024, fileSize 2048") and a JSON object; a section is a list of rows (one
// line each, a JSON array) or a single row (a line that starts with the
// section's name, a JSON object).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarno {

class ReportRow {
 public:
  ReportRow& Number(std::string_view name, uint64_t value);
  // Text "0x000000A0" with `digits` hex digits; JSON a number.
  ReportRow& Hex(std::string_view name, uint32_t value, int digits);
  ReportRow& Signed(std::string_view name, int64_t value);
  ReportRow& Real(std::string_view name, float value);
  ReportRow& Reals(std::string_view name, std::span<const float> values);
  ReportRow& Text(std::string_view name, std::string_view value);
  ReportRow& Yes(std::string_view name, bool value);
  ReportRow& Rows(std::string_view name, std::vector<ReportRow> rows);

  std::string ToText() const;
  std::string ToJson() const;

 private:
  enum class Kind { kNumber, kText, kLiteral, kRows };
  struct Field {
    std::string name;
    Kind kind;
    std::string text;  // a number's digits, a text, a JSON literal; its text form
    std::string json;  // for kLiteral: the JSON form
    std::vector<ReportRow> rows;
  };
  std::vector<Field> fields_;
};

struct ReportSection {
  std::string name;
  bool isList = false;
  std::vector<ReportRow> rows;  // exactly one unless isList
};

using Report = std::vector<ReportSection>;

std::string RenderText(const Report& report);
std::string RenderJson(const Report& report);

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace zarno
