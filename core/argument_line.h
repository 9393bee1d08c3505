// The argument line both programs are started with:
//   @<switch> ~"<content folder>" ~"<object folder>"
// This file holds the parts both programs parse alike: the switch text after
// the first '@' and the two folder arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zarno {

// The folder arguments of an argument line. The first is the content folder
// (models or textures), the second the object folder. Texts are held whole,
// whatever their length.
struct FolderArguments {
  std::string contentDirArg;
  bool contentDirGiven = false;
  std::string objectDirArg;
  bool objectDirGiven = false;
  // The object folder argument begins with "check": a check run whose object
  // folder comes from the registry.
  bool objectDirIsCheck = false;
};

// The text right after the first '@' of the line, to the end of the line;
// nothing when the line holds no '@'.
std::optional<std::string_view> SwitchText(std::string_view line);

// Whether `text` begins with `word`, ASCII letters compared ignoring case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view word);

// Splits the folder arguments off the line at its '~' characters.
FolderArguments ParseFolderArguments(std::string_view line);

// Joins the arguments of a POSIX command line into one argument line: single
// blanks between them, and an argument that begins with '~' not followed by a
// double quote is read as ~"rest".
std::string JoinArguments(int argc, const char* const* argv);

}  // namespace zarno
