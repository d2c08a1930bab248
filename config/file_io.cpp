#include "config/file_io.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace glim::config {
namespace {

namespace fs = std::filesystem;

// Names come from the front end as UTF-8.
fs::path toPath(const std::string& name) {
#if defined(_WIN32)
  return fs::path(std::u8string(name.begin(), name.end()));
#else
  return fs::path(name);
#endif
}

std::FILE* openFile(const fs::path& path, const char* mode) {
#if defined(_WIN32)
  const std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

// The system's reason for the failure just seen (a failure that set none reads
// as an input/output error).
std::string lastError() { return std::generic_category().message(errno != 0 ? errno : EIO); }

// Makes the written bytes durable before the rename makes them the file.
bool syncToDisk(std::FILE* file) {
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// A new, empty file beside `target` that no one else has opened.
std::FILE* createBeside(const fs::path& target, fs::path& created, std::string& reason) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x.tmp", static_cast<unsigned>(random() & 0xFFFFFF));
    created = target;
    created += suffix;
    errno = 0;
    if (std::FILE* file = openFile(created, "wbx")) return file;
    reason = lastError();
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

std::optional<std::string> writeAndReplace(const fs::path& path, std::string_view content) {
  std::error_code ec;
  // A link keeps pointing at the file it named; the new file replaces its target.
  fs::path target = path;
  if (fs::is_symlink(path, ec)) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) target = resolved;
  }

  const bool exists = fs::exists(target, ec);
  if (exists) {
    // Renaming would get round a file the user may not change; ask the system
    // first, without touching the file.
    errno = 0;
    std::FILE* probe = openFile(target, "r+b");
    if (probe == nullptr) return lastError();
    std::fclose(probe);
  }

  fs::path temporary;
  std::string reason;
  std::FILE* file = createBeside(target, temporary, reason);
  if (file == nullptr) return reason;

  auto fail = [&](std::string why) -> std::optional<std::string> {
    if (file != nullptr) std::fclose(file);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return why;
  };

  errno = 0;
  if (std::fwrite(content.data(), 1, content.size(), file) != content.size()) return fail(lastError());
  if (std::fflush(file) != 0) return fail(lastError());
  if (!syncToDisk(file)) return fail(lastError());
  const int closed = std::fclose(file);
  file = nullptr;
  if (closed != 0) return fail(lastError());

  if (exists) {
    const auto status = fs::status(target, ec);
    if (!ec) fs::permissions(temporary, status.permissions(), ec);
  }
  fs::rename(temporary, target, ec);
  if (ec) return fail(ec.message());
  return std::nullopt;
}

}  // namespace

bool FileSource::open(const std::string& path) {
  close();
  error_.clear();
  setg(nullptr, nullptr, nullptr);
  errno = 0;
  file_ = openFile(toPath(path), "rb");
  if (file_ == nullptr) error_ = lastError();
  return file_ != nullptr;
}

FileSource::int_type FileSource::underflow() {
  if (file_ == nullptr || failed()) return traits_type::eof();
  const int c = std::getc(file_);
  if (c == EOF) {
    if (std::ferror(file_)) error_ = lastError();
    return traits_type::eof();
  }
  byte_ = traits_type::to_char_type(c);
  setg(&byte_, &byte_, &byte_ + 1);
  return traits_type::to_int_type(byte_);
}

void FileSource::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::optional<std::string> replaceFile(const std::string& path, std::string_view content) {
  try {
    return writeAndReplace(toPath(path), content);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace glim::config
