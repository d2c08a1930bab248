// glimmora-cli [--board sim|usb] [FILE|-]: runs a script against the program.
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
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

int run(const std::vector<std::string>& argv) {
  using namespace glim::cli;
  using namespace glim::script;
  const auto argc = static_cast<int>(argv.size());
  BoardChoice board = BoardChoice::Sim;
  std::string_view file;
  bool haveFile = false;
  // The command line wins over the environment.
  const char* vendorText = std::getenv("GLIMMORA_VENDOR_ID");
  std::string vendorSource = "GLIMMORA_VENDOR_ID";
  std::string registersFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (arg == "--board") {
      if (i + 1 == argc) return usageError("--board needs sim or usb");
      const std::string_view value = argv[++i];
      if (value == "sim") {
        board = BoardChoice::Sim;
      } else if (value == "usb") {
        board = BoardChoice::Usb;
      } else {
        return usageError("--board needs sim or usb, not " + std::string(value));
      }
    } else if (arg == "--vendor-id") {
      if (i + 1 == argc) return usageError("--vendor-id needs a vendor id in hexadecimal");
      vendorText = argv[++i].c_str();
      vendorSource = "--vendor-id";
    } else if (arg == "--registers") {
      if (i + 1 == argc) return usageError("--registers needs a register description file");
      registersFile = argv[++i];
    } else if (arg.size() > 1 && arg.front() == '-') {
      return usageError("unknown option " + std::string(arg));
    } else if (haveFile) {
      return usageError("one script at a time");
    } else {
      file = arg;
      haveFile = true;
    }
  }

  const glim::usb::VendorChoice vendor = glim::usb::chooseVendorId(vendorText, vendorSource);
  if (!vendor.outcome.ok()) return usageError(vendor.outcome.reason());

  glim::script::StartRegisters registers = readStartRegisters(registersFile);
  if (!registers.outcome.ok()) {
    std::cerr << "glimmora-cli: " << registers.outcome.reason() << '\n';
    return kExitScriptError;
  }
  if (!registers.leftOut.empty()) {
    std::cerr << "glimmora-cli: " << registers.leftOut << " (going on without register descriptions)\n";
  }

  std::ifstream fileStream;
  std::istream* script = &std::cin;
  if (haveFile && file != "-") {
    fileStream.open(glim::config::platform::toPath(std::string(file)), std::ios::binary);
    if (!fileStream) return usageError("cannot read " + std::string(file));
    script = &fileStream;
  }

  try {
    OpenedBoards boards = openBoards(board, vendor.vendorId);
    if (!boards.outcome.ok()) {
      std::cerr << "glimmora-cli: " << boards.outcome.reason() << '\n';
      return kExitScriptError;
    }
    ScriptRunner runner(std::move(boards.layer.driver), boards.layer.bench, std::cout, std::cerr);
    runner.program().main.link.useVendorId(vendor.vendorId);
    if (!registers.file.empty()) {
      runner.program().useRegisterDescriptions(std::move(registers.descriptions), registers.file);
    }
    if (script == &fileStream) runner.setScriptFolder(glim::script::folderOf(file));
    return runner.run(*script);
  } catch (const std::exception& e) {
    std::cerr << "glimmora-cli: internal error: " << e.what() << '\n';
    return kExitScriptError;
  }
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
