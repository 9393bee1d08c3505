#include "core/argument_line.h"

#include "core/ascii_case.h"

namespace zarno {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '"'; }

// Skips at most two leading blanks or double quotes.
size_t SkipLeadingSeparators(std::string_view line, size_t start) {
  for (int i = 0; i < 2 && start < line.size() && IsSeparator(line[start]); ++i) ++start;
  return start;
}

// The text from `start` to the end of the line, less everything from its
// last double quote on.
std::string TextToClosingQuote(std::string_view line, size_t start) {
  if (start >= line.size()) return {};
  std::string_view text = line.substr(start);
  size_t quote = text.rfind('"');
  return std::string(quote == std::string_view::npos ? text : text.substr(0, quote));
}

}  // namespace

std::optional<std::string_view> SwitchText(std::string_view line) {
  size_t at = line.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(at + 1);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (FoldAsciiCase(text[i]) != FoldAsciiCase(word[i])) return false;
  }
  return true;
}

FolderArguments ParseFolderArguments(std::string_view line) {
  FolderArguments folders;
  size_t firstTilde = line.find('~');
  if (firstTilde == std::string_view::npos) return folders;

  size_t contentStart = SkipLeadingSeparators(line, firstTilde + 1);
  size_t secondTilde = line.find('~', contentStart);
  folders.contentDirGiven = true;
  if (secondTilde == std::string_view::npos) {
    folders.contentDirArg = TextToClosingQuote(line, contentStart);
    return folders;
  }

  // The character before the second '~' separates the folders; a blank or
  // a double quote before it goes too.
  size_t contentEnd = secondTilde;
  if (contentEnd > contentStart) --contentEnd;
  if (contentEnd > contentStart && IsSeparator(line[contentEnd - 1])) --contentEnd;
  folders.contentDirArg = std::string(line.substr(contentStart, contentEnd - contentStart));

  // The character right after the second '~' is skipped whatever it is.
  size_t objectStart = SkipLeadingSeparators(line, secondTilde + 2);
  folders.objectDirArg = TextToClosingQuote(line, objectStart);
  folders.objectDirGiven = true;
  folders.objectDirIsCheck = StartsWithIgnoringCase(folders.objectDirArg, "check");
  return folders;
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (i > 1) line += ' ';
    if (argument.size() >= 1 && argument[0] == '~' && (argument.size() < 2 || argument[1] != '"')) {
      line += "~\"";
      line += argument.substr(1);
      line += '"';
    } else {
      line += argument;
    }
  }
  return line;
}

}  // namespace zarno
