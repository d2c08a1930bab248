#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "forms/dispatcher.h"
#include "forms/log.h"
#include "forms/ui_host.h"
#include "usb/driver.h"

namespace glim::usb {

inline constexpr uint32_t kTransferTimeoutMs = 30000;

// The record handed to the library as the callbacks' user data.
struct DeviceContextRecord {
  int32_t InterfaceNumber = 0;
  int32_t AlternateSetting = 0;
  uint32_t DeviceHandle = 0;
  uint32_t InterfaceStatus = 0;
};

// A packet that went to or came from the board, for traces.
struct TransferRecord {
  uint32_t pipe = 0;
  uint32_t direction = kWrite;
  Status status = kSuccess;
  std::vector<uint8_t> bytes;  // the bytes moved (the transferred count of them)
};

// The main window's link to the board: driver start and stop, attach and
// detach, and the two pipe methods with their transfer fields. It does not know
// which backend runs.
class BoardLink {
 public:
  BoardLink(Driver& driver, forms::Log& log, forms::Dispatcher& dispatcher, forms::UiHost& ui);
  BoardLink(const BoardLink&) = delete;
  BoardLink& operator=(const BoardLink&) = delete;
  ~BoardLink();

  // Match values and context, as the window's creation sets them.
  void initialize();
  // Event table, the start line in the log, and the driver start.
  void startDriver();
  // Closes the driver connection if one was opened.
  void stopDriver();

  bool DeviceAttach(uint32_t deviceHandle, const DeviceInfo& info, DeviceContextRecord& context);
  void DeviceDetach(uint32_t deviceHandle, DeviceContextRecord& context);

  void writePipe();
  void readPipe();
  // Whether the active alternate setting has pipes besides pipe 0.
  bool SetPipesInfo();

  // True when a board is held; otherwise shows "USB Device not connected!".
  bool requireDevice();

  // Called after every transfer the pipe methods made (for traces and tests).
  std::function<void(const TransferRecord&)> onTransfer;

  // Main-window fields.
  uint16_t DeviceVendorId = 0;
  uint16_t DeviceProductId = 0;
  MatchEntry MatchTable;
  DriverEvents EventTable;
  uint32_t DriverHandle = 0;
  Status DriverStatus = 0;
  int32_t TransferPipe = 0;
  int32_t TransferLength = 0;
  std::vector<uint8_t> TransferBuffer;
  uint32_t BytesTransferred = 0;
  AlternateSettingInfo ActiveSetting;
  DeviceContextRecord DeviceContext;
  // Program-wide: true (-1) while a board is held.
  int16_t DeviceConnected = 0;

  bool driverOpen() const { return driverOpen_; }

 private:
  void pipeTransfer(uint32_t direction);

  Driver& driver_;
  forms::Log& log_;
  forms::Dispatcher& dispatcher_;
  forms::UiHost& ui_;
  bool driverOpen_ = false;
};

}  // namespace glim::usb
