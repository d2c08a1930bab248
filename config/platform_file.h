#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

#include "text/outcome.h"

// The few file operations whose safe form differs between POSIX systems and
// Windows. Paths are UTF-8 in the program and become wide strings only here.
namespace glim::config::platform {

// A UTF-8 name as a path the system understands.
std::filesystem::path toPath(const std::string& utf8);

// The last part of a UTF-8 path, the file's own name, as the system splits
// it (on Windows "\\" and "C:" end a folder too), in UTF-8.
std::string fileNameOf(const std::string& utf8);

// The system's reason for the failure just seen, from errno (a failure that
// set none reads as an input/output error).
std::string lastError();

// Done when `path` is a regular file or does not exist; otherwise failed with
// why it is no file to read or replace (a folder, a named pipe, a device...).
// Links are followed.
text::Outcome checkRegularOrNew(const std::filesystem::path& path);

// Opens an existing regular file for reading ("rb") or for writing over it
// without truncating ("r+b"). Anything else is refused without waiting on it:
// a named pipe with no writer never blocks the caller. The file goes to `file`,
// which stays null on failure.
text::Outcome openRegular(const std::filesystem::path& path, bool forWriting, std::FILE*& file);

// Creates `path`, which must not exist yet, for writing. Null on failure;
// errno then says why (EEXIST when the name is taken, EACCES when the folder
// may not be written).
std::FILE* createNew(const std::filesystem::path& path);

// Makes the bytes written so far durable on the disk.
bool syncToDisk(std::FILE* file);

// Cuts the file to `size` bytes.
bool truncateTo(std::FILE* file, long long size);

// Where the bytes of `path` really live: links followed, however many and
// even when the last one points at nothing yet.
std::filesystem::path finalTarget(const std::filesystem::path& path);

// Puts `from` in the place of `to` in one step, so a reader sees either the
// old file or the new one, and makes the change durable.
text::Outcome moveOver(const std::filesystem::path& from, const std::filesystem::path& to);

// The running program's own file, links followed; empty where the system
// does not say.
std::filesystem::path programFile();

}  // namespace glim::config::platform
