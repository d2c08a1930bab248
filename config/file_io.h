#pragma once
#include <cstdio>
#include <streambuf>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "text/outcome.h"

namespace glim::config {

// A file read byte by byte through the C library's buffer, so that only what
// is asked for is read; read it through std::istream. Failures keep the
// system's reason.
class FileSource : public std::streambuf {
 public:
  FileSource() = default;
  ~FileSource() override { close(); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // Fails, with the system's reason, when the file cannot be opened or is not
  // a regular file (a named pipe is refused at once, never waited on).
  text::Outcome open(const std::string& path);
  void close();
  // Failed once a read failed (the source then reads as ended).
  const text::Outcome& outcome() const { return outcome_; }
  bool failed() const { return !outcome_.ok(); }

 protected:
  int_type underflow() override;

 private:
  std::FILE* file_ = nullptr;
  char byte_ = 0;
  text::Outcome outcome_;
};

// Replaces the file at `path` with `content` without ever leaving it half
// written: the bytes go to a new file beside it, which is flushed to the disk
// and then put in the old one's place, with the old one's permissions. On any
// failure the old file is left as it was, the new one is removed, and the
// outcome says why.
// - A symbolic link stays: the file it points at is written (or created).
// - Anything but a regular file or a new name (a folder, a named pipe, a
//   device) is refused and left alone.
// - When the folder takes no new file but the file may be written, the file
//   is written over in place instead.
text::Outcome replaceFile(const std::string& path, std::string_view content);

}  // namespace glim::config
