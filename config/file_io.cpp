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

// A new, empty file beside `target` that no one else has opened, in `file`.
// On failure `error` holds errno's value, and the outcome its text.
text::Outcome createBeside(const fs::path& target, fs::path& created, int& error, std::FILE*& file) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x.tmp", static_cast<unsigned>(random() & 0xFFFFFF));
    created = target;
    created += suffix;
    file = platform::createNew(created);
    if (file != nullptr) return {};
    error = errno;
    if (error != EEXIST) return text::Failure(lastError());
  }
  return text::Failure(std::generic_category().message(error));
}

// Writes all of `content` to `file` (from where it stands), and makes it durable.
text::Outcome writeOut(std::FILE* file, std::string_view content) {
  errno = 0;
  if (std::fwrite(content.data(), 1, content.size(), file) != content.size()) return text::Failure(lastError());
  if (std::fflush(file) != 0) return text::Failure(lastError());
  if (!platform::syncToDisk(file)) return text::Failure(lastError());
  return {};
}

// The folder refuses new files but the file itself may be written: the one
// way left is to write over it. A failure part way can leave it half new.
text::Outcome writeInPlace(std::FILE* file, std::string_view content) {
  text::Outcome outcome = writeOut(file, content);
  if (outcome.ok() && !platform::truncateTo(file, static_cast<long long>(content.size()))) {
    outcome = text::Failure(lastError());
  }
  if (outcome.ok() && !platform::syncToDisk(file)) outcome = text::Failure(lastError());
  errno = 0;
  if (std::fclose(file) != 0 && outcome.ok()) outcome = text::Failure(lastError());
  return outcome;
}

text::Outcome writeAndReplace(const fs::path& path, std::string_view content) {
  if (auto regular = platform::checkRegularOrNew(path); !regular.ok()) return regular;
  // A link stays a link: its target is what gets replaced (or created).
  const fs::path target = platform::finalTarget(path);

  std::error_code ec;
  const bool exists = fs::exists(fs::symlink_status(target, ec));
  std::FILE* old = nullptr;
  if (exists) {
    // Renaming would get round a file the user may not change; ask the system
    // first, without changing the file.
    if (auto opened = platform::openRegular(target, true, old); !opened.ok()) return opened;
  }

  fs::path temporary;
  int error = 0;
  std::FILE* file = nullptr;
  if (auto created = createBeside(target, temporary, error, file); !created.ok()) {
    const bool folderRefused = error == EACCES || error == EPERM;
    if (old != nullptr && folderRefused) return writeInPlace(old, content);
    if (old != nullptr) std::fclose(old);
    return created;
  }
  if (old != nullptr) std::fclose(old);

  auto fail = [&](text::Outcome why) {
    if (file != nullptr) std::fclose(file);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return why;
  };

  if (auto written = writeOut(file, content); !written.ok()) return fail(written);
  errno = 0;
  const int closed = std::fclose(file);
  file = nullptr;
  if (closed != 0) return fail(text::Failure(lastError()));

  if (exists) {
    const auto status = fs::status(target, ec);
    if (!ec) fs::permissions(temporary, status.permissions(), ec);
  }
  if (auto moved = platform::moveOver(temporary, target); !moved.ok()) return fail(moved);
  return {};
}

}  // namespace

text::Outcome FileSource::open(const std::string& path) {
  close();
  setg(nullptr, nullptr, nullptr);
  try {
    outcome_ = platform::openRegular(platform::toPath(path), false, file_);
  } catch (const std::exception& e) {  // a name the system cannot take
    outcome_ = text::Failure(e.what());
  }
  if (file_ == nullptr && outcome_.ok()) outcome_ = text::Failure("cannot be opened");
  return outcome_;
}

FileSource::int_type FileSource::underflow() {
  if (file_ == nullptr || failed()) return traits_type::eof();
  const int c = std::getc(file_);
  if (c == EOF) {
    if (std::ferror(file_)) outcome_ = text::Failure(platform::lastError());
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

text::Outcome replaceFile(const std::string& path, std::string_view content) {
  try {
    return writeAndReplace(platform::toPath(path), content);
  } catch (const std::exception& e) {
    return text::Failure(e.what());
  }
}

}  // namespace glim::config
