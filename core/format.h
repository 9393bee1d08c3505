// printf-style formatting into a string of any length, for the message and
// report texts that are quoted as C formats.
#pragma once

#include <string>

namespace zarno {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string Format(const char* format, ...);

}  // namespace zarno
