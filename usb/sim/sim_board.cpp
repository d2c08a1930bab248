#include "usb/sim/sim_board.h"

namespace glim::usb::sim {
bool SimBoard::receive(uint32_t, std::span<const uint8_t>) { return true; }
std::vector<uint8_t> SimBoard::answer(std::size_t) { return {}; }
void SimBoard::i2cCommand(std::span<const uint8_t>) {}
LineState oneDenLine(uint8_t, uint8_t) { return LineState::Floating; }
LineState shutbLine(uint8_t, uint8_t) { return LineState::High; }
}  // namespace glim::usb::sim
