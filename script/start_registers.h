#pragma once
#include <string>

#include "i2c/register_descriptions.h"
#include "text/outcome.h"

namespace glim::script {

// The register descriptions a program without a window starts with: the file
// asked for, which must be right, or else the shipped one, which is left out
// with a word when it cannot be used (a program runs without descriptions).
struct StartRegisters {
  i2c::RegisterDescriptions descriptions;
  // The file they came from; "" when there are none.
  std::string file;
  // Failed, with why, when the file asked for cannot be used.
  text::Outcome outcome;
  // Why the shipped file was left out ("" when it was not).
  std::string leftOut;
};

// `asked`: the file given by the person, or "" for the shipped one.
StartRegisters readStartRegisters(const std::string& asked);
// The same with the shipped file at `shipped` ("": there is none), for a
// front end that ships it elsewhere than beside the program.
StartRegisters readStartRegisters(const std::string& asked, const std::string& shipped);

}  // namespace glim::script
