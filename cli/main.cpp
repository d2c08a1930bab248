// glimmora-cli [--board sim|usb] [FILE|-]: runs a script against the program.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/board_choice.h"
#include "config/platform_file.h"
#include "script/script_runner.h"
#include "script/start_registers.h"
#include "usb/vendor_choice.h"

namespace {

constexpr const char* kUsage =
    "usage: glimmora-cli [--board sim|usb] [--vendor-id VVVV] [--registers FILE] [FILE|-]\n"
    "  --vendor-id VVVV  the boards' USB vendor id, in hexadecimal (default: GLIMMORA_VENDOR_ID,\n"
    "                    else the built-in one)\n"
    "  --registers FILE  register descriptions (JSON) for decode and Write Changed (default:\n"
    "                    the shipped qxb40218-registers.json, when it is found)\n";

int usageError(std::string_view what) {
  std::cerr << "glimmora-cli: " << what << '\n' << kUsage;
  return glim::script::kExitScriptError;
}

// What the command line asks for.
struct Options {
  glim::cli::BoardChoice board = glim::cli::BoardChoice::Sim;
  std::string file;
  bool haveFile = false;
  // The command line wins over the environment.
  const char* vendorText = std::getenv("GLIMMORA_VENDOR_ID");
  std::string vendorSource = "GLIMMORA_VENDOR_ID";
  std::string registersFile;
};

// Reads the options into `o`; a status when the program ends here (help
// shown, or a refused command line).
std::optional<int> parseOptions(const std::vector<std::string>& argv, Options& o) {
  using glim::cli::BoardChoice;
  const auto argc = static_cast<int>(argv.size());
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return glim::script::kExitOk;
    }
    if (arg == "--board") {
      if (i + 1 == argc) return usageError("--board needs sim or usb");
      const std::string_view value = argv[++i];
      if (value == "sim") {
        o.board = BoardChoice::Sim;
      } else if (value == "usb") {
        o.board = BoardChoice::Usb;
      } else {
        return usageError("--board needs sim or usb, not " + std::string(value));
      }
    } else if (arg == "--vendor-id") {
      if (i + 1 == argc) return usageError("--vendor-id needs a vendor id in hexadecimal");
      o.vendorText = argv[++i].c_str();
      o.vendorSource = "--vendor-id";
    } else if (arg == "--registers") {
      if (i + 1 == argc) return usageError("--registers needs a register description file");
      o.registersFile = argv[++i];
    } else if (arg.size() > 1 && arg.front() == '-') {
      return usageError("unknown option " + std::string(arg));
    } else if (o.haveFile) {
      return usageError("one script at a time");
    } else {
      o.file = arg;
      o.haveFile = true;
    }
  }
  return std::nullopt;
}

// Opens the boards and plays the script on them.
int playScript(const Options& o, uint16_t vendorId, glim::script::StartRegisters registers, std::istream& script,
               bool fromFile) {
  using namespace glim::cli;
  using namespace glim::script;
  try {
    OpenedBoards boards = openBoards(o.board, vendorId);
    if (!boards.outcome.ok()) {
      std::cerr << "glimmora-cli: " << boards.outcome.reason() << '\n';
      return kExitScriptError;
    }
    ScriptRunner runner(std::move(boards.layer.driver), boards.layer.bench, std::cout, std::cerr);
    runner.program().main.link.useVendorId(vendorId);
    if (!registers.file.empty()) {
      runner.program().useRegisterDescriptions(std::move(registers.descriptions), registers.file);
    }
    if (fromFile) runner.setScriptFolder(glim::script::folderOf(o.file));
    return runner.run(script);
  } catch (const std::exception& e) {
    std::cerr << "glimmora-cli: internal error: " << e.what() << '\n';
    return kExitScriptError;
  }
}

int run(const std::vector<std::string>& argv) {
  Options options;
  if (const std::optional<int> ended = parseOptions(argv, options)) return *ended;

  const glim::usb::VendorChoice vendor = glim::usb::chooseVendorId(options.vendorText, options.vendorSource);
  if (!vendor.outcome.ok()) return usageError(vendor.outcome.reason());

  glim::script::StartRegisters registers = glim::script::readStartRegisters(options.registersFile);
  if (!registers.outcome.ok()) {
    std::cerr << "glimmora-cli: " << registers.outcome.reason() << '\n';
    return glim::script::kExitScriptError;
  }
  if (!registers.leftOut.empty()) {
    std::cerr << "glimmora-cli: " << registers.leftOut << " (going on without register descriptions)\n";
  }

  // A script from a file, or from standard input when none (or "-") is named.
  std::ifstream fileStream;
  std::istream* script = &std::cin;
  if (options.haveFile && options.file != "-") {
    fileStream.open(glim::config::platform::toPath(options.file), std::ios::binary);
    if (!fileStream) return usageError("cannot read " + options.file);
    script = &fileStream;
  }
  return playScript(options, vendor.vendorId, std::move(registers), *script, script == &fileStream);
}

}  // namespace

// The arguments as UTF-8 wherever the system keeps them: on Windows they are
// taken in their wide form, so a script's name may hold any character.
#if defined(_WIN32)
int wmain(int argc, wchar_t** wargv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const std::u8string utf8 = std::filesystem::path(wargv[i]).u8string();
    args.emplace_back(utf8.begin(), utf8.end());
  }
  return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv, argv + argc)); }
#endif
