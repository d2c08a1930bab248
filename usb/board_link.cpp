#include "usb/board_link.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "text/number_format.h"
#include "usb/vendor_id.h"

namespace glim::usb {

using text::hex16;
using text::hex32;

namespace {
constexpr std::string_view kCrLf = forms::kCrLf;

std::string signedDecimal(int32_t v) {
  // A space where the sign would be, as the log's number fields show it.
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}
}  // namespace

std::string TransferOutcome::reason() const {
  if (shortWrite()) {
    return std::to_string(bytes) + " of " + std::to_string(length) + " bytes reached the board";
  }
  if (ok()) return {};
  return statusText(status);
}

text::FailureKind TransferOutcome::kind() const {
  using text::FailureKind;
  if (ok()) return FailureKind::None;
  if (shortWrite()) return FailureKind::Short;
  switch (stage) {
    case Stage::Skipped:
      return FailureKind::Cancelled;
    case Stage::DeviceInfo:
    case Stage::NoPipes:
      return FailureKind::Refused;
    case Stage::Transfer:
      break;
  }
  switch (status) {
    case kTimeout:
      return FailureKind::TimedOut;
    case kCancelled:
      return FailureKind::Cancelled;
    case kDeviceGone:
    case kInvalidHandle:
      return FailureKind::NoBoard;
    default:
      return FailureKind::Refused;
  }
}

BoardLink::BoardLink(Driver& driver, forms::Log& log, forms::Dispatcher& dispatcher, forms::UiHost& ui)
    : driver_(driver), log_(log), dispatcher_(dispatcher), ui_(ui) {}

BoardLink::~BoardLink() { stopDriver(); }

void BoardLink::initialize() {
  vendorId_ = kBoardVendorId;
  productId_ = kBoardProductId;
  useInterface(0, kBoardAlternateSetting);
}

void BoardLink::useInterface(int32_t interfaceNumber, int32_t alternateSetting) {
  context_.interfaceNumber = interfaceNumber;
  context_.alternateSetting = alternateSetting;
}

void BoardLink::startDriver() {
  MatchEntry match;
  match.vendorId = vendorId_;
  match.productId = productId_;

  DriverEvents events;
  events.attach = [this](DeviceHandle handle, const DeviceInfo& info) { return DeviceAttach(handle, info); };
  events.detach = [this](DeviceHandle handle) { DeviceDetach(handle); };
  events.notice = [this](const BoardNotice& notice) { BoardNoticed(notice); };

  log_.logText(std::string("Please verify that the device is attached...") + std::string(kCrLf), kCrLf);

  forms::Dispatcher* dispatcher = &dispatcher_;
  const Result<DriverConnection> opened =
      driver_.open(match, events, [dispatcher](std::function<void()> task) { dispatcher->post(std::move(task)); });
  driverStatus_ = opened.status();
  if (opened.ok()) {
    connection_ = opened.value();
    return;
  }
  log_.logError("Form_Activate(): Failed to initialize USB driver: error &H" + hex32(driverStatus_) +
                std::string(kCrLf) + "(" + statusText(driverStatus_) + ")");
}

void BoardLink::BoardNoticed(const BoardNotice& notice) {
  const std::string vendor = hex16(notice.vendorId);
  const std::string product = hex16(notice.productId);
  switch (notice.kind) {
    case BoardNotice::Kind::OtherVendor:
      log_.logMessage("Found a board with vendor ID &H" + vendor + " product ID &H" + product +
                      "; this program looks for vendor ID &H" + hex16(vendorId_) +
                      ". Start it with GLIMMORA_VENDOR_ID=" + vendor + " to use it.");
      return;
    case BoardNotice::Kind::NoWinUsbDriver:
      log_.logMessage("DeviceAttach: the board (vendor ID &H" + vendor + " product ID &H" + product +
                      ") has no WinUSB driver: " + std::string(kWinUsbRemedy));
      return;
  }
}

void BoardLink::stopDriver() {
  if (!connection_) return;
  const DriverConnection open = *connection_;
  connection_.reset();
  driver_.close(open);
}

bool BoardLink::DeviceAttach(DeviceHandle deviceHandle, const DeviceInfo& info) {
  DeviceContext& context = context_;
  log_.logMessage("DeviceAttach: Received attach for " + std::string(kCrLf) + "vendor ID &H" +
                  hex16(info.descriptor.idVendor) + " product ID &H" + hex16(info.descriptor.idProduct) +
                  std::string(kCrLf) + "device handle &H" + hex32(deviceHandle));

  bool accept = false;
  if (context.deviceHandle != 0) {
    log_.logMessage("DeviceAttach: Previous attached already accepted control of the device - " + std::string(kCrLf) +
                    "control is rejected because only one device control is supported");
  } else {
    context.deviceHandle = deviceHandle;
    if (context.alternateSetting == 0) {
      accept = true;
    } else {
      context.interfaceStatus = driver_.setInterface(deviceHandle, static_cast<uint32_t>(context.interfaceNumber),
                                                     static_cast<uint32_t>(context.alternateSetting));
      if (context.interfaceStatus == kSuccess) {
        accept = true;
      } else {
        log_.logError("DeviceAttach: WDU_SetInterface failed" + std::string(kCrLf) + "(num." +
                      signedDecimal(context.interfaceNumber) + " alternate" + signedDecimal(context.alternateSetting) +
                      ")" + std::string(kCrLf) + "device &H" + hex32(deviceHandle) + ": error &H" +
                      hex32(context.interfaceStatus) + std::string(kCrLf) + "(" + statusText(context.interfaceStatus) +
                      ")");
        context.deviceHandle = 0;
      }
    }
  }

  if (accept) {
    deviceConnected_ = true;
    log_.logMessage("DeviceAttach: Accepting control of the device");
    log_.logText("", kCrLf);
    onConnectionChanged.notify();
    return true;
  }
  log_.logError("DeviceAttach: Rejecting control of the device");
  return false;
}

void BoardLink::DeviceDetach(DeviceHandle deviceHandle) {
  log_.logMessage("DeviceDetach: Received detach for device handle &H" + hex32(deviceHandle));
  context_.deviceHandle = 0;
  deviceConnected_ = false;
  onConnectionChanged.notify();
}

bool BoardLink::requireDevice() {
  if (deviceConnected_) return true;
  ui_.messageBox("USB Device not connected!", "");
  return false;
}

TransferOutcome BoardLink::writePipe(uint32_t pipe, std::span<const uint8_t> bytes) {
  // The layer takes one buffer for both directions and never writes into the
  // bytes of an OUT transfer.
  return transfer(pipe, kWrite, {const_cast<uint8_t*>(bytes.data()), bytes.size()});
}

BoardLink::Activity::Activity(BoardLink& link, std::string what, int step, int steps) : link_(link) {
  link_.activities_.push_back({std::move(what), step, steps});
}

BoardLink::Activity::~Activity() { link_.activities_.pop_back(); }

WaitLabel BoardLink::waitLabel() const {
  WaitLabel label;
  for (const WaitLabel& a : activities_) {
    if (!label.what.empty() && !a.what.empty()) label.what += ": ";
    label.what += a.what;
    if (a.steps > 0) {
      label.step = a.step;
      label.steps = a.steps;
    }
  }
  return label;
}

uint32_t BoardLink::timeoutMs() const {
  if (!unattendedUntil_) return transferTimeoutMs_;
  // The layer gives the transfer up by itself at the shared deadline too
  // (at least 1 ms: 0 would mean no time-out at all).
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(*unattendedUntil_ - PendingTransfer::Clock::now()).count();
  return static_cast<uint32_t>(std::clamp<int64_t>(left, 1, transferTimeoutMs_));
}

bool BoardLink::cancelledInHandler() const {
  return cancelledIn_ != 0 && dispatcher_.inHandler() && cancelledIn_ == dispatcher_.handlerSerial();
}

void BoardLink::HostWaiter::wait(PendingTransfer& pending) {
  if (link.unattendedUntil_) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*link.unattendedUntil_ - PendingTransfer::Clock::now());
    if (!pending.waitFor(std::max(left, std::chrono::milliseconds(0)))) {
      pending.cancel(kTimeout);
      // The backends end a cancelled transfer at once; one that does not is
      // still waited for (its buffer is the caller's), with the layer's own
      // time-out as the last resort.
      if (!pending.waitFor(kCancelGrace)) pending.waitPlainly();
    }
    return;
  }
  if (link.waitHost_ == nullptr) {
    pending.waitPlainly();
    return;
  }
  link.waitHost_->waitForBoard(pending, link.waitLabel());
  // A host must not return early; if one does, the transfer still ends here.
  if (!pending.ended()) pending.waitPlainly();
}

TransferOutcome BoardLink::transfer(uint32_t pipe, Direction direction, std::span<uint8_t> bytes) {
  if (cancelledInHandler()) {
    // The user asked the handler to stop: nothing more goes to the board.
    TransferOutcome skipped;
    skipped.stage = TransferOutcome::Stage::Skipped;
    skipped.status = kCancelled;
    return skipped;
  }
  const bool write = direction == kWrite;
  const std::string_view who = write ? "WritePipe: " : "ReadPipe: ";
  const std::string_view closing = write ? "Write Pipe failed" : "Read Pipe failed";
  const DeviceHandle handle = context_.deviceHandle;
  TransferOutcome outcome;
  outcome.direction = direction;
  outcome.length = static_cast<uint32_t>(bytes.size());

  const Result<DeviceInfo> info = driver_.deviceInfo(handle);
  outcome.status = info.status();
  if (!info.ok()) {
    outcome.stage = TransferOutcome::Stage::DeviceInfo;
    log_.logError(std::string(who) + "WDU_GetDeviceInfo() failed:" + std::string(kCrLf) + "error &H" +
                  hex32(outcome.status) + " (" + statusText(outcome.status) + ")" + std::string(kCrLf));
    return outcome;
  }

  if (!SetPipesInfo(info->activeInterface.activeAltSetting)) {
    outcome.stage = TransferOutcome::Stage::NoPipes;
    outcome.status = kNoSuchPipe;
    log_.logText(
        "  No pipes are defined for this device " + std::string(kCrLf) + "other than the default pipe (number 0)",
        kCrLf);
    log_.logError(closing);
    return outcome;
  }

  // No bytes go as a transfer of length 0 with no buffer at all.
  if (bytes.empty()) bytes = {};
  const TransferResult moved = driver_.transfer(handle, pipe, direction, bytes, timeoutMs(), waiter_);
  outcome.status = moved.status;
  if (outcome.status == kCancelled && dispatcher_.inHandler()) {
    cancelledIn_ = dispatcher_.handlerSerial();
  }
  outcome.bytes = std::min(moved.bytes, outcome.length);
  if (!onTransfer.empty()) {
    TransferRecord record;
    record.pipe = pipe;
    record.direction = direction;
    record.status = outcome.status;
    record.bytes.assign(bytes.begin(), bytes.begin() + outcome.bytes);
    onTransfer.notify(record);
  }
  if (outcome.shortWrite()) {
    // The layer called it done, yet the board got a packet it cannot use: a
    // failure like any other, though no status names it.
    log_.logError(std::string(who) + "only " + outcome.reason());
    log_.logError(closing);
    return outcome;
  }
  if (outcome.status == kSuccess) return outcome;
  log_.logError(std::string(who) + "WDU_Transfer() failed: error &H" + hex32(outcome.status) + " (" +
                statusText(outcome.status) + ")");
  log_.logError(closing);
  return outcome;
}

}  // namespace glim::usb
