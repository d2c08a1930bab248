#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forms/dispatcher.h"
#include "forms/log.h"
#include "forms/signal.h"
#include "forms/ui_host.h"
#include "text/outcome.h"
#include "usb/driver.h"
#include "usb/protocol.h"
#include "usb/transfer_wait.h"

namespace glim::usb {

// What the link keeps of the board it holds: the interface an accepted board
// is switched to, the board's handle, and how the switch went.
struct DeviceContext {
  int32_t interfaceNumber = 0;
  int32_t alternateSetting = 0;       // 0: no selection is made
  DeviceHandle deviceHandle = 0;      // the board held; 0 while none is
  Status interfaceStatus = kSuccess;  // of the last selection
};

// A packet that went to or came from the board, for traces.
struct TransferRecord {
  uint32_t pipe = 0;
  uint32_t direction = kWrite;
  Status status = kSuccess;
  std::vector<uint8_t> bytes;  // the bytes moved (the transferred count of them)
};

// What became of one transfer.
struct TransferOutcome {
  enum class Stage : uint8_t {
    DeviceInfo,  // the layer refused the board's device information: no transfer
    NoPipes,     // the board has no pipes besides pipe 0: no transfer
    Transfer,    // the transfer was made; `status` is its status
    Skipped,     // not made: the user cancelled a transfer earlier in this handler
  };
  Stage stage = Stage::Transfer;
  Status status = kSuccess;  // the layer's status (kNoSuchPipe for a board without pipes)
  uint32_t bytes = 0;        // bytes moved, never more than were asked for
  uint32_t length = 0;       // bytes asked for: the packet's size, or the room for an answer
  Direction direction = kWrite;

  // A write the board took only part of: the layer calls it done, but the
  // board got a packet it cannot use. (A short answer is the reader's to judge:
  // some answers are whole before their room is full.)
  bool shortWrite() const {
    return stage == Stage::Transfer && status == kSuccess && direction == kWrite && bytes < length;
  }
  bool ok() const { return stage == Stage::Transfer && status == kSuccess && !shortWrite(); }
  // Why it failed, in words for a status line ("" when it did not fail).
  std::string reason() const;
  // What kind of failure it was (FailureKind::None when it did not fail).
  text::FailureKind kind() const;
  // The same for the layers above, which care only whether it was done, and
  // why and how not.
  text::Outcome outcome() const { return ok() ? text::Outcome() : text::Outcome(text::Failure(reason(), kind())); }
};

// The main window's link to the board: driver start and stop, attach and
// detach, and the one transport every packet goes through. It does not know
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
  bool driverOpen() const { return connection_.has_value(); }
  // Status of the driver's start (kSuccess before any).
  Status driverStatus() const { return driverStatus_; }

  // The ids the driver start looks for.
  uint16_t vendorId() const { return vendorId_; }
  uint16_t productId() const { return productId_; }
  // The vendor id the next start of the driver looks for (the built-in one
  // unless the run chose another); set before the main window's activation.
  void useVendorId(uint16_t vendorId) { vendorId_ = vendorId; }
  // The interface and alternate setting an accepted board is switched to
  // (0 and 0 from the start: no selection); set before a board arrives.
  void useInterface(int32_t interfaceNumber, int32_t alternateSetting);

  // True while a board is held.
  bool deviceConnected() const { return deviceConnected_; }
  // The board held (0 while none is).
  DeviceHandle heldDevice() const { return context_.deviceHandle; }
  const DeviceContext& deviceContext() const { return context_; }

  // The transport: one transfer of `bytes` on `pipe` (written from them, or
  // read into them), after checking that the board is there and has pipes.
  // Failures are logged; the outcome says what happened.
  TransferOutcome transfer(uint32_t pipe, Direction direction, std::span<uint8_t> bytes);
  // Named for their log lines: WritePipe sends, ReadPipe receives.
  TransferOutcome writePipe(uint32_t pipe, std::span<const uint8_t> bytes);
  TransferOutcome readPipe(uint32_t pipe, std::span<uint8_t> into) { return transfer(pipe, kRead, into); }

  // Where a transfer that does not end at once is waited for; null (the
  // start) waits on the calling thread. The host outlives the link's use.
  void setWaitHost(WaitHost* host) { waitHost_ = host; }

  // What the running handler is doing, for the wait's label: nested ones are
  // joined with ": " ("Load Configuration: block write"); the innermost with
  // steps gives the batch's progress. Lives on the handler's stack.
  class Activity {
   public:
    Activity(BoardLink& link, std::string what, int step = 0, int steps = 0);
    ~Activity();
    Activity(const Activity&) = delete;
    Activity& operator=(const Activity&) = delete;

   private:
    BoardLink& link_;
  };
  WaitLabel waitLabel() const;

  // While one lives, a transfer that does not end at once opens no wait for
  // the person: the transfers made meanwhile share one deadline, `limitMs`
  // from its making, and one still pending then is given up (kTimeout). For
  // reads nobody clicked for (watching registers), whose board should not
  // keep the person waiting. Lives on the caller's stack.
  class Unattended {
   public:
    Unattended(BoardLink& link, uint32_t limitMs) : link_(link), before_(link.unattendedUntil_) {
      link.unattendedUntil_ = PendingTransfer::Clock::now() + std::chrono::milliseconds(limitMs);
    }
    ~Unattended() { link_.unattendedUntil_ = before_; }
    Unattended(const Unattended&) = delete;
    Unattended& operator=(const Unattended&) = delete;

   private:
    BoardLink& link_;
    std::optional<PendingTransfer::Clock::time_point> before_;
  };
  // True while an Unattended lives.
  bool unattended() const { return unattendedUntil_.has_value(); }
  // How long a transfer that is still pending after its cancel is waited for
  // before it is waited for plainly (the caller's buffer is the transfer's
  // until it ends; the backends end a cancelled transfer at once).
  static constexpr std::chrono::milliseconds kCancelGrace{50};

  // True once the user cancelled a transfer in the handler now running: its
  // later transfers are skipped (Stage::Skipped), and batches stop.
  bool cancelledInHandler() const;

  // True when a board is held; otherwise shows "USB Device not connected!".
  bool requireDevice();

  // Told after a board was accepted or let go (deviceConnected() changed).
  forms::Signal<std::function<void()>> onConnectionChanged;
  // Every transfer's time-out (shorter in tests).
  void setTransferTimeout(uint32_t ms) { transferTimeoutMs_ = ms; }

  // Told after every transfer the transport made (for traces and tests).
  forms::Signal<std::function<void(const TransferRecord&)>> onTransfer;

 private:
  // The driver's callbacks.
  bool DeviceAttach(DeviceHandle deviceHandle, const DeviceInfo& info);
  void DeviceDetach(DeviceHandle deviceHandle);
  // Logs a board the layer saw but does not offer.
  void BoardNoticed(const BoardNotice& notice);
  // The time-out the next transfer is given: the link's, or what is left of
  // the Unattended's deadline.
  uint32_t timeoutMs() const;
  // Whether the active alternate setting has pipes besides pipe 0.
  static bool SetPipesInfo(const AlternateSettingInfo& setting) { return setting.numEndpoints != 0; }

  Driver& driver_;
  forms::Log& log_;
  forms::Dispatcher& dispatcher_;
  forms::UiHost& ui_;

  uint16_t vendorId_ = 0;
  uint16_t productId_ = 0;
  std::optional<DriverConnection> connection_;  // while the driver is open
  Status driverStatus_ = kSuccess;
  DeviceContext context_;
  bool deviceConnected_ = false;
  uint32_t transferTimeoutMs_ = protocol::kTransferTimeoutMs;

  struct HostWaiter final : TransferWaiter {
    explicit HostWaiter(BoardLink& l) : link(l) {}
    void wait(PendingTransfer& pending) override;
    BoardLink& link;
  };
  WaitHost* waitHost_ = nullptr;
  // The deadline of the transfers of the Unattended that lives (none: the
  // person is asked to wait).
  std::optional<PendingTransfer::Clock::time_point> unattendedUntil_;
  HostWaiter waiter_{*this};
  std::vector<WaitLabel> activities_;
  // The dispatcher's handler serial (never 0 in a handler) of the last cancel.
  uint64_t cancelledIn_ = 0;
};

}  // namespace glim::usb
