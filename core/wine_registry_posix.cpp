#include "core/wine_registry_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/path_resolver_posix.h"

namespace zarno {

namespace {

// A system.reg larger than this is not a registry file the host could use.
constexpr uint64_t kMaxRegistryFileSize = uint64_t{1} << 30;
// Escapes are decoded into UTF-16 code units, as Wine stores strings.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// ---- text encoding -------------------------------------------------------

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Collects decoded characters: UTF-16 code units from escapes (joining
// surrogate pairs) and raw bytes, which are kept as they are.
class DecodedText {
 public:
  void AddUnit(char16_t unit) {
    if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHigh_) {
      char32_t code = 0x10000 + ((char32_t{pendingHigh_} - 0xD800) << 10) + (unit - 0xDC00);
      pendingHigh_ = 0;
      AppendUtf8(text_, code);
      return;
    }
    FlushPending();
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      pendingHigh_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(text_, kReplacementCharacter);
    } else {
      AppendUtf8(text_, unit);
    }
  }
  void AddByte(char byte) {
    FlushPending();
    text_ += byte;
  }
  std::string Take() {
    FlushPending();
    return std::move(text_);
  }

 private:
  void FlushPending() {
    if (pendingHigh_) AppendUtf8(text_, kReplacementCharacter);
    pendingHigh_ = 0;
  }

  std::string text_;
  char16_t pendingHigh_ = 0;
};

// ---- escaped strings -----------------------------------------------------

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Decodes the digits of a numeric escape starting at `pos`: up to
// `maxDigits` digits of `base`.
char16_t TakeNumber(std::string_view text, size_t& pos, int base, int maxDigits) {
  uint32_t number = 0;
  for (int digits = 0; digits < maxDigits && pos < text.size(); ++digits) {
    int digit = base == 16 ? HexDigitValue(text[pos]) : (IsOctalDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) break;
    number = number * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    ++pos;
  }
  return static_cast<char16_t>(number);
}

char16_t SimpleEscape(char c) {
  switch (c) {
    case 'a': return u'\a';
    case 'b': return u'\b';
    case 'e': return 0x1B;
    case 'f': return u'\f';
    case 'n': return u'\n';
    case 'r': return u'\r';
    case 't': return u'\t';
    case 'v': return u'\v';
    default: return static_cast<char16_t>(static_cast<unsigned char>(c));
  }
}

// A line break right at `pos` ("\n" or "\r\n"): its length, else 0.
size_t LineBreakAt(std::string_view text, size_t pos) {
  if (pos < text.size() && text[pos] == '\n') return 1;
  if (pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n') return 2;
  return 0;
}

size_t SkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  return pos;
}

// Decodes the escape whose backslash is at `pos - 1`; moves `pos` past it.
void DecodeEscape(std::string_view text, size_t& pos, DecodedText& out) {
  char c = text[pos];
  if (c == 'x' && pos + 1 < text.size() && HexDigitValue(text[pos + 1]) >= 0) {
    ++pos;
    out.AddUnit(TakeNumber(text, pos, 16, 4));
  } else if (IsOctalDigit(c)) {
    out.AddUnit(TakeNumber(text, pos, 8, 3));
  } else if (static_cast<unsigned char>(c) >= 0x80) {
    out.AddByte(c);
    ++pos;
  } else {
    out.AddUnit(SimpleEscape(c));
    ++pos;
  }
}

struct DecodedString {
  std::string text;
  size_t end;  // just past the closing character
};

// Decodes an escaped string that starts at `pos` and ends at an unescaped
// `endChar`. A backslash at the end of a line continues the string on the
// next line, after that line's leading blanks. Nothing when the line ends
// before `endChar`.
std::optional<DecodedString> DecodeEscapedString(std::string_view text, size_t pos, char endChar) {
  DecodedText out;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == endChar) return DecodedString{out.Take(), pos + 1};
    if (LineBreakAt(text, pos) != 0) return std::nullopt;
    ++pos;
    if (c != '\\') {
      out.AddByte(c);
      continue;
    }
    if (pos >= text.size()) return std::nullopt;
    if (size_t lineBreak = LineBreakAt(text, pos); lineBreak != 0) {
      pos = SkipBlanks(text, pos + lineBreak);
      continue;
    }
    DecodeEscape(text, pos, out);
  }
  return std::nullopt;
}

// ---- lines of the file ---------------------------------------------------

bool StartsWith(std::string_view text, size_t pos, std::string_view start) {
  return text.substr(pos, start.size()) == start;
}

size_t NextLineStart(std::string_view text, size_t pos) {
  size_t lineEnd = text.find('\n', pos);
  return lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
}

// Whether the key line at `pos` ("[name] time") names `keyPath`.
bool KeyLineNames(std::string_view text, size_t pos, std::string_view keyPath) {
  std::optional<DecodedString> name = DecodeEscapedString(text, pos + 1, ']');
  return name && EqualsIgnoringAsciiCase(name->text, keyPath);
}

enum class ValueMatch { kOtherName, kString, kOtherType };

struct ValueLine {
  ValueMatch match = ValueMatch::kOtherName;
  std::string text;
};

// Reads the string data at `pos` ("..." or str(2):"..."), or finds that
// the value has another type.
ValueLine ReadStringData(std::string_view text, size_t pos) {
  constexpr std::string_view kExpandStringTag = "str(2):";
  if (StartsWith(text, pos, kExpandStringTag)) pos += kExpandStringTag.size();
  if (pos >= text.size() || text[pos] != '"') return {ValueMatch::kOtherType, {}};
  std::optional<DecodedString> data = DecodeEscapedString(text, pos + 1, '"');
  if (!data) return {ValueMatch::kOtherType, {}};
  return {ValueMatch::kString, std::move(data->text)};
}

// Reads the value line at `pos` ("name"=data or @=data) when it names
// `valueName`.
ValueLine ReadValueLine(std::string_view text, size_t pos, std::string_view valueName) {
  std::string name;
  if (text[pos] == '@') {
    ++pos;
  } else {
    std::optional<DecodedString> quoted = DecodeEscapedString(text, pos + 1, '"');
    if (!quoted) return {};
    name = std::move(quoted->text);
    pos = quoted->end;
  }
  if (!EqualsIgnoringAsciiCase(name, valueName)) return {};
  pos = SkipBlanks(text, pos);
  if (pos >= text.size() || text[pos] != '=') return {ValueMatch::kOtherType, {}};
  return ReadStringData(text, SkipBlanks(text, pos + 1));
}

// ---- files ---------------------------------------------------------------

std::optional<std::string> ReadWholeTextFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) <= kMaxRegistryFileSize) {
    text.emplace();
    char block[64 * 1024];
    while (true) {
      ssize_t got = ::read(fd, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 || text->size() + static_cast<size_t>(got) > kMaxRegistryFileSize) {
        text.reset();
        break;
      }
      if (got == 0) break;
      text->append(block, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  return text;
}

std::optional<std::string> ReadLink(const std::string& path) {
  std::vector<char> buffer(256);
  while (true) {
    ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<size_t>(length) < buffer.size())
      return std::string(buffer.data(), static_cast<size_t>(length));
    buffer.resize(buffer.size() * 2);
  }
}

// The folder a drive letter's link leads to, without a trailing '/'
// (except for the root itself).
std::optional<std::string> DriveFolder(const std::string& prefix, char driveLetter) {
  std::filesystem::path dosdevices = std::filesystem::path(prefix) / "dosdevices";
  char lowerLetter =
      (driveLetter >= 'A' && driveLetter <= 'Z') ? static_cast<char>(driveLetter - 'A' + 'a') : driveLetter;
  std::optional<std::string> target = ReadLink((dosdevices / std::string{lowerLetter, ':'}).string());
  if (!target || target->empty()) return std::nullopt;
  std::string folder = (dosdevices / *target).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string WithForwardSlashes(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

}  // namespace

std::optional<std::string> FindRegistryString(std::string_view regFileText, std::string_view keyPath,
                                              std::string_view valueName) {
  bool inKey = false;
  for (size_t pos = 0; pos < regFileText.size(); pos = NextLineStart(regFileText, pos)) {
    char first = regFileText[pos];
    if (first == '[') {
      inKey = KeyLineNames(regFileText, pos, keyPath);
    } else if (inKey && (first == '"' || first == '@')) {
      ValueLine line = ReadValueLine(regFileText, pos, valueName);
      if (line.match == ValueMatch::kString) return std::move(line.text);
      if (line.match == ValueMatch::kOtherType) return std::nullopt;
    }
  }
  return std::nullopt;
}

bool FitsRegistryBuffer(std::string_view value) {
  size_t characters = 0;
  for (char c : value) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  }
  return characters + 1 <= kRegistryValueCapacity;
}

std::string_view RegistryText(std::string_view value) { return value.substr(0, value.find('\0')); }

std::optional<std::string> MapWindowsPathToPosix(const std::string& prefix, const std::string& windowsPath) {
  if (windowsPath.size() < 2 || !IsAsciiLetter(windowsPath[0]) || windowsPath[1] != ':') {
    return WithForwardSlashes(windowsPath);
  }
  std::optional<std::string> folder = DriveFolder(prefix, windowsPath[0]);
  if (!folder) return std::nullopt;
  std::string rest = WithForwardSlashes(std::string_view(windowsPath).substr(2));
  size_t firstName = rest.find_first_not_of('/');
  if (firstName == std::string::npos) {
    return rest.empty() ? *folder : *folder + (folder->back() == '/' ? "" : "/");
  }
  return *folder + (folder->back() == '/' ? "" : "/") + rest.substr(firstName);
}

std::optional<std::string> WinePrefixFolder(const char* winePrefix, const char* home) {
  if (winePrefix != nullptr && *winePrefix != '\0') return std::string(winePrefix);
  if (home != nullptr && *home != '\0') return std::string(home) + "/.wine";
  return std::nullopt;
}

bool ReadWineRegistryValue(const std::string& prefix, std::string_view keyPath, std::string_view valueName,
                           std::string& value) {
  std::optional<std::string> text = ReadWholeTextFile(prefix + "/system.reg");
  if (!text) return false;
  std::optional<std::string> found = FindRegistryString(*text, keyPath, valueName);
  if (!found || !FitsRegistryBuffer(*found)) return true;
  std::optional<std::string> path = MapWindowsPathToPosix(prefix, std::string(RegistryText(*found)));
  if (path) value = std::move(*path);
  return true;
}

}  // namespace zarno
