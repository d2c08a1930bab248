#include "config/platform_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace glim::config::platform {

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
using Stat = struct _stat64;
bool statOf(const fs::path& path, Stat& st) { return _wstat64(path.c_str(), &st) == 0; }
bool statOf(std::FILE* file, Stat& st) { return _fstat64(_fileno(file), &st) == 0; }
bool isRegular(const Stat& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
std::string kindText(const Stat& st) {
  switch (st.st_mode & _S_IFMT) {
    case _S_IFDIR:
      return std::generic_category().message(EISDIR);
    case _S_IFIFO:
      return "Is a named pipe";
    case _S_IFCHR:
      return "Is a device";
    default:
      return "Is not a regular file";
  }
}
#else
using Stat = struct stat;
bool statOf(const fs::path& path, Stat& st) { return ::stat(path.c_str(), &st) == 0; }
bool statOf(int fd, Stat& st) { return ::fstat(fd, &st) == 0; }
bool isRegular(const Stat& st) { return S_ISREG(st.st_mode); }
// Worded as the system words its own reasons; a folder gets the system's.
std::string kindText(const Stat& st) {
  if (S_ISDIR(st.st_mode)) return std::generic_category().message(EISDIR);
  if (S_ISFIFO(st.st_mode)) return "Is a named pipe";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "Is a device";
  if (S_ISSOCK(st.st_mode)) return "Is a socket";
  return "Is not a regular file";
}
#endif

}  // namespace

std::string lastError() { return std::generic_category().message(errno != 0 ? errno : EIO); }

text::Outcome checkRegularOrNew(const fs::path& path) {
  Stat st{};
  if (statOf(path, st)) {
    if (isRegular(st)) return {};
    return text::Failure(kindText(st));
  }
#if defined(_WIN32)
  // Devices (NUL, COM1) and pipes have no status to look at, yet open; a
  // handle that may neither read nor write tells what they are.
  HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    if (type == FILE_TYPE_CHAR) return text::Failure("Is a device");
    if (type == FILE_TYPE_PIPE) return text::Failure("Is a named pipe");
  }
#endif
  // A name that cannot be looked at is left to the open that follows, which
  // gives the system's reason.
  return {};
}

#if defined(_WIN32)

fs::path toPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

text::Outcome openRegular(const fs::path& path, bool forWriting, std::FILE*& file) {
  file = nullptr;
  if (auto regular = checkRegularOrNew(path); !regular.ok()) return regular;
  errno = 0;
  std::FILE* opened = _wfopen(path.c_str(), forWriting ? L"r+b" : L"rb");
  if (opened == nullptr) return text::Failure(lastError());
  // The name may have been given to something else since it was looked at.
  Stat st{};
  if (!statOf(opened, st) || !isRegular(st)) {
    text::Failure why(statOf(opened, st) ? kindText(st) : lastError());
    std::fclose(opened);
    return why;
  }
  file = opened;
  return {};
}

std::FILE* createNew(const fs::path& path) {
  errno = 0;
  return _wfopen(path.c_str(), L"wbx");
}

bool syncToDisk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool truncateTo(std::FILE* file, long long size) { return _chsize_s(_fileno(file), size) == 0; }

fs::path finalTarget(const fs::path& path) {
  // Only a reparse point (a symbolic link or junction) names a file elsewhere;
  // the system resolves the whole chain once the file is opened.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
  HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return path;
  std::wstring name(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (length == 0 || length >= name.size()) return path;
  name.resize(length);
  return fs::path(name);
}

text::Outcome moveOver(const fs::path& from, const fs::path& to) {
  // Write-through: the call returns once the new name is on the disk.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
  const std::error_code code(static_cast<int>(GetLastError()), std::system_category());
  const std::error_condition portable = code.default_error_condition();
  // The same words as on other systems where the failure has a portable name.
  if (portable.category() == std::generic_category()) return text::Failure(portable.message());
  return text::Failure(code.message());
}

#else

fs::path toPath(const std::string& utf8) { return fs::path(utf8); }

text::Outcome openRegular(const fs::path& path, bool forWriting, std::FILE*& file) {
  file = nullptr;
  // Looked at before it is opened: opening a device may already do something.
  if (auto regular = checkRegularOrNew(path); !regular.ok()) return regular;
  // Without waiting, in case the name became a named pipe in the meantime.
  const int fd = ::open(path.c_str(), (forWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return text::Failure(lastError());
  Stat st{};
  if (!statOf(fd, st) || !isRegular(st)) {
    text::Failure why(statOf(fd, st) ? kindText(st) : lastError());
    ::close(fd);
    return why;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file = ::fdopen(fd, forWriting ? "r+b" : "rb");
  if (file == nullptr) {
    text::Failure why(lastError());
    ::close(fd);
    return why;
  }
  return {};
}

std::FILE* createNew(const fs::path& path) {
  errno = 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    const int saved = errno;
    ::close(fd);
    ::unlink(path.c_str());
    errno = saved;
  }
  return file;
}

bool syncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool truncateTo(std::FILE* file, long long size) { return ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0; }

fs::path finalTarget(const fs::path& path) {
  fs::path at = path;
  // As many links as the system itself follows before it gives up.
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) break;
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) break;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return at;
}

text::Outcome moveOver(const fs::path& from, const fs::path& to) {
  errno = 0;
  if (std::rename(from.c_str(), to.c_str()) != 0) return text::Failure(lastError());
  // The new name is durable only once the folder that holds it is.
  fs::path folder = to.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return {};
}

#endif

fs::path programFile() {
#if defined(_WIN32)
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return fs::path(name.substr(0, length));
    name.resize(name.size() * 2);
  }
#else
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : self;
#endif
}

std::string fileNameOf(const std::string& utf8) {
  const std::u8string name = toPath(utf8).filename().u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace glim::config::platform
