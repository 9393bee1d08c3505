// The platform on POSIX systems: a terminal program instead of windows.
// Message boxes become lines on standard error, the progress display a bar
// on the terminal, the registry the one of the Wine prefix the host runs in.
// File names are matched ignoring ASCII case, as the host's platform does.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform.h"

namespace zarno {

class PosixPlatform : public Platform {
 public:
  // `programName` starts every line the program writes to standard error
  // ("rigwright", "skinwright"). Beeps and the progress bar show only when
  // standard error is a terminal.
  explicit PosixPlatform(std::string programName);
  // The same, with the terminal question answered by the caller.
  PosixPlatform(std::string programName, bool stderrIsTerminal);

  // Writes "<program>: <caption>: <text>" (or "<program>: <text>" with an
  // empty caption) as one line on standard error, the text's final line
  // break dropped; does not wait.
  void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                      bool ownedByMainWindow = false) override;
  void Beep() override;
  // Writes "<program>: <text>" on standard error, then beeps.
  void SignalFailure(std::string_view text) override;
  // Only counts the request; the caller's loop ends the program.
  void RequestClose() override;
  int32_t CloseRequests() const { return closeRequests_; }

  void ProgressOpen(int32_t stage) override;
  void ProgressSetRange(uint32_t maximum) override;
  void ProgressSetPosition(uint32_t position) override;
  void ProgressClose() override;

  char PathSeparator() const override { return '/'; }
  std::string_view LineEnd() const override { return "\n"; }
  std::optional<std::string> CurrentDirectory() override;
  std::optional<std::string> EnvironmentValue(const std::string& name) override;
  // Reads the value from the Wine prefix ($WINEPREFIX, else $HOME/.wine),
  // never writing it; a Windows path is mapped to the POSIX path Wine uses.
  bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                         std::string& value) override;

  std::vector<std::string> FindFiles(const std::string& pattern) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileView> ViewFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;

  // An flock(2) lock, which the system lets go when the descriptor closes.
  LockAttempt TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
  void Sleep(uint32_t milliseconds) override;
  // Writes "<program>: <text>" on standard error when it is a terminal.
  void NoteWaiting(std::string_view text) override;

 private:
  void WriteToStderr(std::string_view text);
  void DrawProgressWhenChanged();

  std::string programName_;
  bool stderrIsTerminal_;
  int32_t closeRequests_ = 0;

  bool progressOpen_ = false;
  std::string_view progressTitle_;
  uint32_t progressMaximum_ = 0;
  uint32_t progressPosition_ = 0;
  int32_t progressShownPercent_ = -1;  // -1: nothing drawn yet
};

// Whether a file name matches a search mask with '*' and '?', ignoring
// ASCII case; a mask ending in ".*" also matches a name without extension,
// as on the host's platform ("*.*" matches every name).
bool MatchesSearchMask(std::string_view name, std::string_view mask);

// Orders names as the host's file system returns them: upper-cased byte by
// byte, ties by the names as they are.
bool ComesBeforeInSearchOrder(const std::string& a, const std::string& b);

// The line of the progress bar for a title and a percentage (0 ... 100),
// starting with a carriage return.
std::string ProgressBarLine(std::string_view title, uint32_t percent);

}  // namespace zarno
