#pragma once
// What two runs of the program are compared by: every control of the main
// window as `print` shows it, then every packet the simulated board saw.
#include <QString>
#include <QStringList>

#include "script/control_actions.h"
#include "shell/program.h"
#include "support/control_states.h"
#include "text/hex_text.h"
#include "usb/sim/sim_driver.h"

namespace glim::testing {

inline QStringList stateOf(shell::Program& program, const usb::sim::SimDriver& sim) {
  QStringList state;
  eachControl(program.main.form, "",
              [&state](const std::string& name, const forms::Control&, const script::ShownValue& shown) {
                state << QString::fromStdString(script::printLine(name, shown));
              });
  for (const usb::sim::PacketTraceEntry& p : sim.trace()) {
    state << QStringLiteral("board %1 %2 %3: %4 [%5]")
                 .arg(p.board)
                 .arg(p.in ? "in" : "out")
                 .arg(p.pipe)
                 .arg(QString::fromStdString(text::hexBytes(p.bytes)))
                 .arg(p.status);
  }
  return state;
}

}  // namespace glim::testing
