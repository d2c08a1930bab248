#include "config/config_commands.h"

namespace glim::config {
ConfigCommands::ConfigCommands(timing::TimingPanel& timing, i2c::RegisterWindow& registers, i2c::I2cOperations& i2c,
                               forms::UiHost& ui)
    : timing_(timing), registers_(registers), i2c_(i2c), ui_(ui) {}
void ConfigCommands::mFileSaveConfig_Click() {}
void ConfigCommands::mFileLoadConfig_Click() {}
}  // namespace glim::config
