#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "forms/control.h"
#include "forms/control_array.h"
#include "forms/form.h"
#include "forms/status_label.h"
#include "forms/ui_host.h"
#include "text/outcome.h"
#include "usb/board_link.h"

namespace glim::timing {

// A cell's value as the byte it is sent as: nearest whole number, halves to the
// even neighbour (12.5 -> 12, 13.5 -> 14). The range check keeps every cell in
// 0..255; the clamp only guards the conversion.
uint8_t packetByte(double value);

// The main window's timing area: the register image, its companion fields, the
// enable check boxes, the two option groups and the buttons that copy and send
// the image, with their handlers.
class TimingPanel {
 public:
  // `status` is the main window's status line, where Write Settings and the
  // two control lines report their outcome.
  TimingPanel(forms::Form& form, usb::BoardLink& link, forms::StatusLabel& status);
  TimingPanel(const TimingPanel&) = delete;
  TimingPanel& operator=(const TimingPanel&) = delete;

  // Register image and companion fields.
  forms::ControlArray<forms::TextBox> tbCPLDdata{"tbCPLDdata", usb::protocol::kTimingBytes};
  forms::TextBox tbSICclkfreqdes{"tbSICclkfreqdes"};
  forms::TextBox tbSICclkfreqact{"tbSICclkfreqact"};
  forms::TextBox tbPWMIclkfreqdes{"tbPWMIclkfreqdes"};
  forms::TextBox tbPWMIclkfreqact{"tbPWMIclkfreqact"};
  forms::TextBox tbPWMIpw{"tbPWMIpw"};
  forms::TextBox tbSTVpw{"tbSTVpw"};
  forms::TextBox tbSTVtc{"tbSTVtc"};
  forms::TextBox tbSCLKdiv{"tbSCLKdiv"};
  forms::TextBox tbSTVfreqdes{"tbSTVfreqdes"};
  forms::TextBox tbSTVfreqact{"tbSTVfreqact"};
  forms::TextBox tbSCLKfreqdes{"tbSCLKfreqdes"};
  forms::TextBox tbSCLKfreqact{"tbSCLKfreqact"};

  // Enable bits and control lines.
  forms::ControlArray<forms::CheckBox> cbCtrl{"cbCtrl", 4};
  forms::OptionGroup ob1DenGroup;
  forms::OptionGroup obShutbGroup;
  forms::Frame fr1Den{"fr1Den", "1D EN"};
  forms::Frame frShutb{"frShutb", "SHUTb"};
  forms::ControlArray<forms::OptionButton> ob1Den{"ob1Den", 3, ob1DenGroup};
  forms::ControlArray<forms::OptionButton> obShutb{"obShutb", 2, obShutbGroup};

  forms::CommandButton cbCopysic{"cbCopysic"};
  forms::CommandButton cbCopyser{"cbCopyser"};
  forms::CommandButton cbWritesettings{"cbWritesettings"};

  // Handlers.
  void tbCPLDdata_Change(int Index);
  void tbSICclkfreqdes_Change();
  void tbPWMIclkfreqdes_Change();
  void tbSTVfreqdes_Change();
  void tbSCLKfreqdes_Change();
  void cbCopysic_Click();
  void cbCopyser_Click();
  void cbCtrl_Click(int Index);
  void obShutb_Click(int Index);
  void ob1Den_Click(int Index);
  void cbWritesettings_Click();

  void updateCtrlByte();
  // The pin packet for the lines as chosen; why it failed, if it did.
  text::Outcome writeCtrlPins();
  // The pin packet, then the settings packet; the first failure, if any.
  text::Outcome writeSettings();

  // The 43 bytes Write Settings sends for the cells as they stand.
  std::array<uint8_t, usb::protocol::kTimingBytes> imageBytes() const;

 private:
  void setDefaults();
  void setHints();
  void wireHandlers();
  // "tbCPLDdata(3): \"0x10\" reads as 0" for the first cell (then desired
  // field) whose text the rule reads only in part; empty when all read whole.
  std::string firstMisreadField() const;

  // GetTextValue of a register cell's text, read at the moment of use.
  double cellValue(int index) const;
  // The byte Write Settings sends for a cell: the displays show what the board
  // really gets, whatever fraction the cell holds.
  uint8_t sentByte(int index) const { return packetByte(cellValue(index)); }
  void rangeCheck(int index);

  // Recomputation of the display fields that depend on a cell.
  void sicGroup();
  void pwmiGroup();
  void sclkStvGroup();
  // Notes on the actual fields that are not what their desired field asks for.
  void updateReachNotes();
  // Handlers under way (one may set a box whose handler then runs inside it).
  int handlersRunning_ = 0;
  // Writes a 12-bit value as its high part into cell `high` and then its low
  // part into cell `high + 1`.
  void writeSplit(int high, double value);

  // `cellsSent`: the settings packet went too, so a misread cell is named.
  void report(const std::string& action, const text::Outcome& outcome, bool cellsSent);

  usb::BoardLink& link_;
  forms::StatusLabel& status_;
};

}  // namespace glim::timing
