// The one place that includes <windows.h>. Every Windows source of the
// program includes this header instead, so the same macros hold everywhere:
// no min/max macros, the lean header set, and Windows 10 as the target (the
// MinGW-w64 default is far older and hides newer declarations).
#ifndef KEELHAVEN_UTIL_WINDOWS_INCLUDE_H_
#define KEELHAVEN_UTIL_WINDOWS_INCLUDE_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#undef WINVER
#define WINVER 0x0A00

#include <windows.h>

#endif  // KEELHAVEN_UTIL_WINDOWS_INCLUDE_H_
