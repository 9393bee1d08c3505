// Replacing several files of the object folder as one step.
//
// A compaction changes two files that must agree: the store (ZarnoObj.lod or
// ZarnoObj.tex) and ZarnoObj.hdr; a DDS run changes ZarnoObj.hdr and the
// copies in the ZarnoObj folder. One rename cannot replace them all, so:
//   1. the new files are written and flushed under names of their own
//      (the target's name followed by ".new");
//   2. the journal "ZarnoObj.journal" is written (atomically) listing them;
//   3. each new file is renamed over its target;
//   4. the journal is renamed to "ZarnoObj.journal.new", and that is removed.
// The rename of step 4 reaches the disk before anything else happens (a
// removal need not), so a journal whose renames are done can never come back
// after a power failure and take the ".new" files of a later run for its own.
// The journal's ".new" name thus holds a journal that does not count: one
// being written, or one whose replacement is done.
// When either program starts, RecoverReplacement finishes the renames of a
// journal it finds, and throws away every ".new" file that is left. After a
// crash at any point the folder therefore holds either all the old files or
// all the new ones.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/platform.h"

namespace zarno {

inline constexpr std::string_view kJournalFileName = "ZarnoObj.journal";
inline constexpr std::string_view kNewFileSuffix = ".new";

// A file of `folder` to replace: the new content waits in name + ".new".
struct PendingFile {
  // The file's name within the folder, e.g. "ZarnoObj.lod", or within the
  // DDS folder below it, e.g. "ZarnoObj/57.dds" (with the platform's
  // separator).
  std::string name;
};

// The path under which the new content of `folder` + `name` is written.
std::string NewFilePath(std::string_view folderSlash, std::string_view name);

// Replaces every file of `files` by its ".new" file, as one step. The ".new"
// files must be complete and flushed. False when a target that is there
// cannot be opened for writing (a read-only file) or the journal cannot be
// written (nothing replaced, the ".new" files removed), or when a rename
// fails (the journal stays, so the next start finishes the step). On failure
// `failedPath`, when given, receives the path of the file that stopped it:
// the target that could not be written or replaced, or the journal.
bool ReplaceFilesTogether(Platform& platform, std::string_view folderSlash,
                          std::span<const PendingFile> files, std::string* failedPath = nullptr);

// "Can not write <name>: <path>" for the file that stopped a replacement,
// followed by " is in use by another program" when that is why.
std::string CannotWriteMessage(Platform& platform, const std::string& path);

// Brings `folder` back to a whole state after an interrupted replacement:
// finishes a journal's renames, then removes the ".new" files that are left
// of the object files, of the DDS copies and of the journal. Returns false
// (and removes nothing) when a journal was found but could not be finished.
bool RecoverReplacement(Platform& platform, std::string_view folderSlash);

}  // namespace zarno
