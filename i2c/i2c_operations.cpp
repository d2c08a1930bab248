#include "i2c/i2c_operations.h"

#include <algorithm>
#include <array>

#include "i2c/register_form.h"
#include "text/hex_text.h"

namespace glim::i2c {

namespace {

namespace protocol = usb::protocol;

// A pasted novel in a box should not become a novel in a message box.
constexpr std::size_t kQuotedTextMax = 40;

std::string quoted(const std::string& text) {
  if (text.size() <= kQuotedTextMax) return "\"" + text + "\"";
  return "\"" + text.substr(0, kQuotedTextMax) + "...\"";
}

bool isRow(int16_t index) { return index >= 0 && index < kRegisterCount; }

}  // namespace

void I2cOperations::tellDoesNotFit(const std::string& what, const std::string& text) {
  ui_.messageBox(what + ": " + quoted(text) + " does not fit in a byte (0 to FF). Nothing was sent.", "");
}

std::optional<uint8_t> I2cOperations::slaveAddress(RegisterForm& form, bool forRead) {
  const std::string& text = form.tbI2Caddr.text();
  const uint32_t value = text::hexTextValue(text);
  if (value > 0xFF) {
    tellDoesNotFit("Slave Address", text);
    return std::nullopt;
  }
  // A read sends the address + 1, which for FF no longer fits.
  if (forRead && value == 0xFF) {
    ui_.messageBox("Slave Address: " + quoted(text) +
                       " is too large for a read, which sends the address + 1 (0 to FE). Nothing was sent.",
                   "");
    return std::nullopt;
  }
  const auto address = static_cast<uint8_t>(value);
  return forRead ? protocol::readAddress(address) : address;
}

std::optional<uint8_t> I2cOperations::writeValue(RegisterForm& form, int i) {
  const std::string& text = form.tbI2Creg[i].text();
  const uint32_t value = text::hexTextValue(text);
  if (value > 0xFF) {
    tellDoesNotFit("Register " + form.Label1[i].caption(), text);
    return std::nullopt;
  }
  return static_cast<uint8_t>(value);
}

I2cOutcome I2cOperations::do_i2c_write(int16_t Index) {
  if (window_ == nullptr || !isRow(Index)) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  RegisterForm& form = window_->get();
  const auto address = slaveAddress(form, false);
  if (!address) return I2cOutcome::NotSent;
  const auto value = writeValue(form, Index);
  if (!value) return I2cOutcome::NotSent;

  link_.writePipe(protocol::kI2cPipe, protocol::registerWritePacket(*address, static_cast<uint8_t>(Index), *value));
  return I2cOutcome::Sent;
}

I2cOutcome I2cOperations::do_i2c_writeall() {
  if (window_ == nullptr) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  RegisterForm& form = window_->get();
  const auto address = slaveAddress(form, false);
  if (!address) return I2cOutcome::NotSent;
  // One packet carries every register: one value that does not fit stops all.
  std::array<uint8_t, kRegisterCount> values{};
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto value = writeValue(form, i);
    if (!value) return I2cOutcome::NotSent;
    values[static_cast<std::size_t>(i)] = *value;
  }

  link_.writePipe(protocol::kI2cPipe, protocol::registerBlockWritePacket(*address, values));
  return I2cOutcome::Sent;
}

uint32_t I2cOperations::requestAndRead(std::span<const uint8_t> request, std::span<uint8_t> answer) {
  link_.writePipe(protocol::kI2cPipe, request);
  // The answer is read even when the request failed: the board may still hold
  // an answer, and the failure is in the log either way. Bytes of a failed
  // read are not trusted as register values.
  const usb::TransferOutcome read = link_.readPipe(protocol::kAnswerPipe, answer);
  return read.ok() ? read.bytes : 0;
}

I2cOutcome I2cOperations::do_i2c_read(int16_t Index) {
  if (window_ == nullptr || !isRow(Index)) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  const auto address = slaveAddress(window_->get(), true);
  if (!address) return I2cOutcome::NotSent;
  std::array<uint8_t, protocol::kI2cReadAnswerLength> answer{};
  const uint32_t arrived =
      requestAndRead(protocol::registerReadRequest(*address, static_cast<uint8_t>(Index)), answer);

  // Byte 0 is the board's own; byte 1 is the register. A register whose byte
  // did not arrive shows nothing rather than a value that was never read.
  RegisterForm& form = window_->get();
  form.tbI2Cregread[Index].setText(arrived >= 2 ? std::string(text::byteText(answer[1])) : "");
  return I2cOutcome::Sent;
}

I2cOutcome I2cOperations::do_i2c_readall(int16_t Index) {
  if (window_ == nullptr || Index < 0 || Index > 0xFF) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  const auto address = slaveAddress(window_->get(), true);
  if (!address) return I2cOutcome::NotSent;
  std::array<uint8_t, protocol::kI2cBlockAnswerLength> answer{};
  const uint32_t arrived =
      requestAndRead(protocol::registerBlockReadRequest(*address, static_cast<uint8_t>(Index)), answer);

  RegisterForm& form = window_->get();
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto at = static_cast<uint32_t>(i + 1);
    form.tbI2Cregread[i].setText(arrived > at ? std::string(text::byteText(answer[at])) : "");
  }
  return I2cOutcome::Sent;
}

}  // namespace glim::i2c
