#include "qt_test_registry.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace glim::testing {
namespace {

std::map<std::string, QtTestMain>& tests() {
  static std::map<std::string, QtTestMain> registered;
  return registered;
}

std::string nameOf(std::string path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos) path.erase(dot);
  return path;
}

}  // namespace

bool registerQtTest(const char* sourceFile, QtTestMain testMain) {
  tests()[nameOf(sourceFile)] = testMain;
  return true;
}

}  // namespace glim::testing

// app_tests NAME [Qt Test options]: runs the test of NAME.cpp; with no name or
// an unknown one, lists the names and fails.
int main(int argc, char** argv) {
  const auto& tests = glim::testing::tests();
  const auto test = argc > 1 ? tests.find(argv[1]) : tests.end();
  if (test == tests.end()) {
    std::fprintf(stderr, "usage: %s NAME [Qt Test options]; NAME is one of:\n", argc > 0 ? argv[0] : "app_tests");
    for (const auto& [name, testMain] : tests) std::fprintf(stderr, "  %s\n", name.c_str());
    return 2;
  }
  // The test sees its options as if it were a program of its own.
  std::vector<char*> args{argv[0]};
  args.insert(args.end(), argv + 2, argv + argc);
  args.push_back(nullptr);
  return test->second(argc - 1, args.data());
}
