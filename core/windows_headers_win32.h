// <windows.h> as the Win32 files of the tools include it. windows.h turns
// CopyFile and ReplaceFile into macros for their A and W variants, which
// would rename the Platform members of the same names in the files that
// see them; those two macros are taken back here, and the files call
// CopyFileA and ReplaceFileA by their own names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CopyFile
#undef ReplaceFile
