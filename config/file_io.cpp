#include "config/file_io.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>
#include <system_error>

#include "config/platform_file.h"

namespace glim::config {
namespace {

namespace fs = std::filesystem;
using platform::lastError;

// A new, empty file beside `target` that no one else has opened. On failure
// `error` holds errno's value and `reason` its text.
std::FILE* createBeside(const fs::path& target, fs::path& created, int& error, std::string& reason) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x.tmp", static_cast<unsigned>(random() & 0xFFFFFF));
    created = target;
    created += suffix;
    if (std::FILE* file = platform::createNew(created)) return file;
    error = errno;
    reason = lastError();
    if (error != EEXIST) return nullptr;
  }
  return nullptr;
}

// Writes all of `content` to `file` (from where it stands), and makes it durable.
std::optional<std::string> writeOut(std::FILE* file, std::string_view content) {
  errno = 0;
  if (std::fwrite(content.data(), 1, content.size(), file) != content.size()) return lastError();
  if (std::fflush(file) != 0) return lastError();
  if (!platform::syncToDisk(file)) return lastError();
  return std::nullopt;
}

// The folder refuses new files but the file itself may be written: the one
// way left is to write over it. A failure part way can leave it half new.
std::optional<std::string> writeInPlace(std::FILE* file, std::string_view content) {
  auto reason = writeOut(file, content);
  if (!reason && !platform::truncateTo(file, static_cast<long long>(content.size()))) reason = lastError();
  if (!reason && !platform::syncToDisk(file)) reason = lastError();
  errno = 0;
  if (std::fclose(file) != 0 && !reason) reason = lastError();
  return reason;
}

std::optional<std::string> writeAndReplace(const fs::path& path, std::string_view content) {
  if (auto why = platform::notARegularFile(path)) return why;
  // A link stays a link: its target is what gets replaced (or created).
  const fs::path target = platform::finalTarget(path);

  std::error_code ec;
  const bool exists = fs::exists(fs::symlink_status(target, ec));
  std::FILE* old = nullptr;
  if (exists) {
    // Renaming would get round a file the user may not change; ask the system
    // first, without changing the file.
    std::string reason;
    old = platform::openRegular(target, true, reason);
    if (old == nullptr) return reason;
  }

  fs::path temporary;
  std::string reason;
  int error = 0;
  std::FILE* file = createBeside(target, temporary, error, reason);
  if (file == nullptr) {
    const bool folderRefused = error == EACCES || error == EPERM;
    if (old != nullptr && folderRefused) return writeInPlace(old, content);
    if (old != nullptr) std::fclose(old);
    return reason;
  }
  if (old != nullptr) std::fclose(old);

  auto fail = [&](std::string why) -> std::optional<std::string> {
    if (file != nullptr) std::fclose(file);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return why;
  };

  if (auto why = writeOut(file, content)) return fail(*why);
  errno = 0;
  const int closed = std::fclose(file);
  file = nullptr;
  if (closed != 0) return fail(lastError());

  if (exists) {
    const auto status = fs::status(target, ec);
    if (!ec) fs::permissions(temporary, status.permissions(), ec);
  }
  if (auto why = platform::moveOver(temporary, target)) return fail(*why);
  return std::nullopt;
}

}  // namespace

bool FileSource::open(const std::string& path) {
  close();
  error_.clear();
  setg(nullptr, nullptr, nullptr);
  try {
    file_ = platform::openRegular(platform::toPath(path), false, error_);
  } catch (const std::exception& e) {  // a name the system cannot take
    error_ = e.what();
  }
  return file_ != nullptr;
}

FileSource::int_type FileSource::underflow() {
  if (file_ == nullptr || failed()) return traits_type::eof();
  const int c = std::getc(file_);
  if (c == EOF) {
    if (std::ferror(file_)) error_ = platform::lastError();
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
    return writeAndReplace(platform::toPath(path), content);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace glim::config
