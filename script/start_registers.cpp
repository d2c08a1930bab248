#include "script/start_registers.h"

#include "shell/register_description_file.h"

namespace glim::script {

StartRegisters readStartRegisters(const std::string& asked) {
  return readStartRegisters(asked, asked.empty() ? shell::shippedRegisterFile() : std::string());
}

StartRegisters readStartRegisters(const std::string& asked, const std::string& shippedFile) {
  StartRegisters start;
  const bool shipped = asked.empty();
  start.file = shipped ? shippedFile : asked;
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
