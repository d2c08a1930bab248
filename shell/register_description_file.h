#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "i2c/register_descriptions.h"
#include "text/outcome.h"

namespace glim::shell {

// The description file the program ships, by name.
inline constexpr std::string_view kShippedRegisterFile = "qxb40218-registers.json";
// A larger file is no description of 22 registers.
inline constexpr std::size_t kMaxRegisterFileBytes = 1 << 20;

// Reads the description file at `path` (UTF-8) into `into`. A file that cannot
// be read, is larger than kMaxRegisterFileBytes or is refused by the parser
// leaves `into` as it was; the failure names the file by its last part
// ("regs.json line 12, column 5: ...").
text::Outcome readRegisterDescriptions(const std::string& path, i2c::RegisterDescriptions& into);

// Where the shipped file is: beside the program (the Windows package, a build
// tree), else in share/glimmora beside the program's bin folder (an installed
// package: /usr/share/glimmora). Empty when neither holds it.
std::string shippedRegisterFile();

}  // namespace glim::shell
