// The host runs under Wine, which keeps HKEY_LOCAL_MACHINE in the text file
// system.reg of its prefix folder. These functions read a string value from
// that text and turn a Windows path into the POSIX path Wine maps it to. The
// file is only ever read.
//
// The file holds keys and their values, one per line:
//   [Software\\Vantorelle\\Orvane\\4.0] 1700000000
//   #time=1da0c2b9e6c43a2
//   "objectDir"="Z:\\home\\me\\objects"
// Names and strings are escaped: \\ \" \[ \] \a \b \e \f \n \r \t \v, octal
// \NNN and UTF-16 code units \xNNNN.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zarno {

// Room the host gives a registry value, its terminating NUL included.
inline constexpr size_t kRegistryValueCapacity = 256;

// The string value `valueName` ("" stands for the default value "@") of the
// key `keyPath` (single backslashes, "Software\Vantorelle\Orvane\4.0"), key
// and value names compared ignoring ASCII case; nothing when the key or the
// value is missing or the value is not a string (REG_SZ or REG_EXPAND_SZ).
// The result is UTF-8 and may hold NULs as the value stores them.
std::optional<std::string> FindRegistryString(std::string_view regFileText, std::string_view keyPath,
                                              std::string_view valueName);

// Whether a value fits the host's 256-byte buffer with its terminating NUL:
// 255 characters or fewer.
bool FitsRegistryBuffer(std::string_view value);

// A value taken as text: everything before its first NUL.
std::string_view RegistryText(std::string_view value);

// The POSIX path of a Windows path inside the prefix: "X:..." goes through
// the link <prefix>/dosdevices/x: (a relative link is taken from the
// dosdevices folder); backslashes become '/'. A path without a drive letter
// only has its backslashes turned. Nothing when the drive has no link.
std::optional<std::string> MapWindowsPathToPosix(const std::string& prefix, const std::string& windowsPath);

// The prefix folder Wine uses: $WINEPREFIX, else $HOME/.wine; nothing when
// neither is set. The arguments are the two variables (null when unset).
std::optional<std::string> WinePrefixFolder(const char* winePrefix, const char* home);

// Looks the value up in <prefix>/system.reg. Returns false when that file
// cannot be read. `value` changes only when the value exists, is a string
// that fits the host's buffer and names a path that can be mapped.
bool ReadWineRegistryValue(const std::string& prefix, std::string_view keyPath, std::string_view valueName,
                           std::string& value);

}  // namespace zarno
