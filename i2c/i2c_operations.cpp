#include "i2c/i2c_operations.h"

#include <algorithm>
#include <array>

#include "i2c/register_form.h"
#include "text/hex_text.h"

namespace glim::i2c {

namespace {

constexpr int32_t kWriteOneLength = 4;
constexpr int32_t kWriteAllLength = 3 + kRegisterCount;  // command, address, first register, 22 values
constexpr int32_t kRequestLength = 3;
constexpr int32_t kReadOneAnswer = 2;
constexpr int32_t kReadAllAnswer = kCommandBlockRead;  // status byte and 22 values

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
  return static_cast<uint8_t>(forRead ? value + 1 : value);
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

  link_.TransferPipe = kCommandPipe;
  link_.TransferLength = kWriteOneLength;
  link_.TransferBuffer.assign(kWriteOneLength, 0);
  link_.TransferBuffer[0] = kCommandWrite;
  link_.TransferBuffer[1] = *address;
  link_.TransferBuffer[2] = static_cast<uint8_t>(Index);
  link_.TransferBuffer[3] = *value;
  link_.writePipe();
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

  link_.TransferPipe = kCommandPipe;
  link_.TransferLength = kWriteAllLength;
  link_.TransferBuffer.assign(kWriteAllLength, 0);
  link_.TransferBuffer[0] = kCommandWrite;
  link_.TransferBuffer[1] = *address;
  link_.TransferBuffer[2] = 0x00;
  std::copy(values.begin(), values.end(), link_.TransferBuffer.begin() + 3);
  link_.writePipe();
  return I2cOutcome::Sent;
}

uint32_t I2cOperations::requestAndRead(uint8_t command, uint8_t address, uint8_t firstRegister,
                                       int32_t answerLength) {
  link_.TransferPipe = kCommandPipe;
  link_.TransferLength = kRequestLength;
  link_.TransferBuffer = {command, address, firstRegister};
  link_.writePipe();

  // The answer is read even when the request failed: the board may still hold
  // an answer, and the failure is in the log either way.
  link_.TransferPipe = kAnswerPipe;
  link_.TransferLength = answerLength;
  link_.TransferBuffer.assign(static_cast<std::size_t>(answerLength), 0);
  link_.readPipe();

  // readPipe reports nothing, so arrival is worked out from what it left.
  // BytesTransferred counts this call's bytes only if the transfer ran: a
  // refused device information leaves the count of an earlier transfer, and a
  // board without pipes gets no transfer while DriverStatus stays 0 (only the
  // device information was asked for, and it refreshed ActiveSetting). So the
  // transfer ran and succeeded exactly when the status is 0 and there are
  // pipes. Bytes of a failed transfer are not trusted as register values.
  if (link_.DriverStatus != usb::kSuccess || !link_.SetPipesInfo()) return 0;
  return std::min(link_.BytesTransferred, static_cast<uint32_t>(answerLength));
}

I2cOutcome I2cOperations::do_i2c_read(int16_t Index) {
  if (window_ == nullptr || !isRow(Index)) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  const auto address = slaveAddress(window_->get(), true);
  if (!address) return I2cOutcome::NotSent;
  const uint32_t arrived = requestAndRead(kCommandRead, *address, static_cast<uint8_t>(Index), kReadOneAnswer);

  // Byte 0 is the board's own; byte 1 is the register. A register whose byte
  // did not arrive shows nothing rather than a value that was never read.
  RegisterForm& form = window_->get();
  form.tbI2Cregread[Index].setText(arrived >= 2 ? std::string(text::byteText(link_.TransferBuffer[1])) : "");
  return I2cOutcome::Sent;
}

I2cOutcome I2cOperations::do_i2c_readall(int16_t Index) {
  if (window_ == nullptr || Index < 0 || Index > 0xFF) return I2cOutcome::NotSent;
  if (!link_.requireDevice()) return I2cOutcome::NotConnected;

  const auto address = slaveAddress(window_->get(), true);
  if (!address) return I2cOutcome::NotSent;
  const uint32_t arrived =
      requestAndRead(kCommandBlockRead, *address, static_cast<uint8_t>(Index), kReadAllAnswer);

  RegisterForm& form = window_->get();
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto at = static_cast<uint32_t>(i + 1);
    form.tbI2Cregread[i].setText(arrived > at ? std::string(text::byteText(link_.TransferBuffer[at])) : "");
  }
  return I2cOutcome::Sent;
}

}  // namespace glim::i2c
