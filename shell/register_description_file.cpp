#include "shell/register_description_file.h"

#include <filesystem>
#include <istream>

#include "config/file_io.h"
#include "config/platform_file.h"

namespace glim::shell {

text::Outcome readRegisterDescriptions(const std::string& path, i2c::RegisterDescriptions& into) {
  const std::string name = config::platform::fileNameOf(path);
  config::FileSource source;
  if (const text::Outcome opened = source.open(path); !opened.ok()) {
    return text::Failure(name + ": " + opened.reason());
  }
  std::istream in(&source);
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxRegisterFileBytes) {
      return text::Failure(name + ": larger than " + std::to_string(kMaxRegisterFileBytes >> 20) +
                           " MiB, no register description file");
    }
  }
  if (source.failed()) return text::Failure(name + ": " + source.outcome().reason());
  return i2c::RegisterDescriptions::parse(text, name, into);
}

std::string shippedRegisterFile() {
  const std::filesystem::path program = config::platform::programFile();
  if (program.empty()) return {};
  const std::filesystem::path folder = program.parent_path();
  for (const std::filesystem::path& candidate :
       {folder / kShippedRegisterFile, folder.parent_path() / "share" / "glimmora" / kShippedRegisterFile}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) {
      const std::u8string utf8 = candidate.u8string();
      return std::string(utf8.begin(), utf8.end());
    }
  }
  return {};
}

}  // namespace glim::shell
