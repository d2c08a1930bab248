#include "script/start_registers.h"

#include "shell/register_description_file.h"

namespace glim::script {

StartRegisters readStartRegisters(const std::string& asked) {
  StartRegisters start;
  const bool shipped = asked.empty();
  start.file = shipped ? shell::shippedRegisterFile() : asked;
  if (start.file.empty()) return start;
  const text::Outcome read = shell::readRegisterDescriptions(start.file, start.descriptions);
  if (read.ok()) return start;
  start.file.clear();
  if (shipped) {
    start.leftOut = read.reason();
  } else {
    start.outcome = read;
  }
  return start;
}

}  // namespace glim::script
