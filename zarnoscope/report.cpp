#include "zarnoscope/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zarno {
namespace {

// The shortest text that reads back as the same float, alike on every
// platform; JSON has no word for NaN or infinity.
std::string RealText(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return {buffer, end};
}

std::string RealJson(float value) { return std::isfinite(value) ? RealText(value) : "null"; }

}  // namespace

ReportRow& ReportRow::Number(std::string_view name, uint64_t value) {
  fields_.push_back({std::string(name), Kind::kNumber, std::to_string(value), {}, {}});
  return *this;
}

ReportRow& ReportRow::Hex(std::string_view name, uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  fields_.push_back({std::string(name), Kind::kLiteral, text, std::to_string(value), {}});
  return *this;
}

ReportRow& ReportRow::Signed(std::string_view name, int64_t value) {
  fields_.push_back({std::string(name), Kind::kNumber, std::to_string(value), {}, {}});
  return *this;
}

ReportRow& ReportRow::Real(std::string_view name, float value) {
  fields_.push_back({std::string(name), Kind::kLiteral, RealText(value), RealJson(value), {}});
  return *this;
}

ReportRow& ReportRow::Reals(std::string_view name, std::span<const float> values) {
  std::string text, json;
  for (float value : values) {
    text += (text.empty() ? "" : " ") + RealText(value);
    json += (json.empty() ? "" : ",") + RealJson(value);
  }
  fields_.push_back({std::string(name), Kind::kLiteral, "[" + text + "]", "[" + json + "]", {}});
  return *this;
}

ReportRow& ReportRow::Text(std::string_view name, std::string_view value) {
  fields_.push_back({std::string(name), Kind::kText, std::string(value), {}, {}});
  return *this;
}

ReportRow& ReportRow::Yes(std::string_view name, bool value) {
  fields_.push_back({std::string(name), Kind::kLiteral, value ? "yes" : "no", value ? "true" : "false", {}});
  return *this;
}

ReportRow& ReportRow::Rows(std::string_view name, std::vector<ReportRow> rows) {
  fields_.push_back({std::string(name), Kind::kRows, {}, {}, std::move(rows)});
  return *this;
}

std::string ReportRow::ToText() const {
  std::string line;
  for (const Field& field : fields_) {
    if (!line.empty()) line += ", ";
    line += field.name + " ";
    if (field.kind != Kind::kRows) {
      line += field.text;
      continue;
    }
    line += "[";
    for (size_t i = 0; i < field.rows.size(); ++i) line += (i ? "; " : "") + field.rows[i].ToText();
    line += "]";
  }
  return line;
}

std::string ReportRow::ToJson() const {
  std::string json = "{";
  for (const Field& field : fields_) {
    if (json.size() > 1) json += ",";
    json += JsonString(field.name) + ":";
    switch (field.kind) {
      case Kind::kNumber: json += field.text; break;
      case Kind::kText: json += JsonString(field.text); break;
      case Kind::kLiteral: json += field.json; break;
      case Kind::kRows:
        json += "[";
        for (size_t i = 0; i < field.rows.size(); ++i) json += (i ? "," : "") + field.rows[i].ToJson();
        json += "]";
        break;
    }
  }
  return json + "}";
}

std::string RenderText(const Report& report) {
  std::string text;
  for (const ReportSection& section : report) {
    for (const ReportRow& row : section.rows) {
      text += (section.isList ? "" : section.name + ": ") + row.ToText() + "\n";
    }
  }
  return text;
}

std::string RenderJson(const Report& report) {
  std::string json = "{";
  for (const ReportSection& section : report) {
    json += (json.size() > 1 ? ",\n" : "\n") + JsonString(section.name) + ":";
    if (!section.isList) {
      json += section.rows.empty() ? "{}" : section.rows.front().ToJson();
      continue;
    }
    json += "[";
    for (size_t i = 0; i < section.rows.size(); ++i) json += (i ? ",\n" : "\n") + section.rows[i].ToJson();
    json += "]";
  }
  return json + "\n}\n";
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

}  // namespace zarno
