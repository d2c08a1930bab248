// glimmora-cli [--board sim|usb] [FILE|-]: runs a script against the program.
#include <exception>
#include <fstream>
#include <iostream>
#include <string_view>

#include "cli/board_choice.h"
#include "script/script_runner.h"

namespace {

constexpr const char* kUsage = "usage: glimmora-cli [--board sim|usb] [FILE|-]\n";

int usageError(std::string_view what) {
  std::cerr << "glimmora-cli: " << what << '\n' << kUsage;
  return glim::script::kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace glim::cli;
  using namespace glim::script;
  BoardChoice board = BoardChoice::Sim;
  std::string_view file;
  bool haveFile = false;
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
    } else if (arg.size() > 1 && arg.front() == '-') {
      return usageError("unknown option " + std::string(arg));
    } else if (haveFile) {
      return usageError("one script at a time");
    } else {
      file = arg;
      haveFile = true;
    }
  }

  std::ifstream fileStream;
  std::istream* script = &std::cin;
  if (haveFile && file != "-") {
    fileStream.open(std::string(file), std::ios::binary);
    if (!fileStream) return usageError("cannot read " + std::string(file));
    script = &fileStream;
  }

  try {
    OpenedBoards boards = openBoards(board);
    if (!boards.driver) {
      std::cerr << "glimmora-cli: " << boards.error << '\n';
      return kExitScriptError;
    }
    ScriptRunner runner(std::move(boards.driver), boards.sim, std::cout, std::cerr);
    return runner.run(*script);
  } catch (const std::exception& e) {
    std::cerr << "glimmora-cli: internal error: " << e.what() << '\n';
    return kExitScriptError;
  }
}
