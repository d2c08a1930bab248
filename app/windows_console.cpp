#include "app/windows_console.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#endif

namespace glim::app {

#if defined(_WIN32)
namespace {
bool goesSomewhere(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}
}  // namespace

void useParentConsoleIfAny() {
  const bool out = goesSomewhere(STD_OUTPUT_HANDLE);
  const bool err = goesSomewhere(STD_ERROR_HANDLE);
  if ((out && err) || AttachConsole(ATTACH_PARENT_PROCESS) == 0) return;
  FILE* ignored = nullptr;
  if (!out) ignored = std::freopen("CONOUT$", "w", stdout);
  if (!err) ignored = std::freopen("CONOUT$", "w", stderr);
  (void)ignored;
}
#else
void useParentConsoleIfAny() {}
#endif

}  // namespace glim::app
