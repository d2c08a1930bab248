#include "i2c/i2c_operations.h"

#include <algorithm>
#include <array>

#include "i2c/register_form.h"
#include "text/hex_text.h"
#include "text/reading_note.h"

namespace glim::i2c {

namespace {

namespace protocol = usb::protocol;

using text::quoted;

text::Failure noBoard() { return text::Failure("no board connected", text::FailureKind::NoBoard); }
text::Failure notSent(std::string why) { return text::Failure(std::move(why), text::FailureKind::NotSent); }

bool isRow(int16_t index) { return index >= 0 && index < protocol::kRegisterCount; }

const RegisterDescriptions kNoDescriptions;

}  // namespace

I2cOperations::I2cOperations(usb::BoardLink& link, forms::UiHost& ui, forms::Log& log)
    : link_(link),
      ui_(ui),
      log_(log),
      forgetsReads_(link.onConnectionChanged.connectScoped([this] {
        if (!link_.deviceConnected()) return;
        lastReads_ = {};
        readBySlave_.clear();
        known_ = {};
      })),
      descriptions_(&kNoDescriptions) {}

void I2cOperations::useDescriptions(const RegisterDescriptions& descriptions) {
  descriptions_ = &descriptions;
  if (window_ != nullptr) {
    if (RegisterForm* form = window_->existing()) form->describeRows();
  }
}

std::optional<uint8_t> I2cOperations::knownValue(int address, uint8_t slave) const {
  if (address < 0 || address >= protocol::kRegisterCount || !link_.deviceConnected()) return std::nullopt;
  const Known& known = known_[static_cast<std::size_t>(address)];
  return known.slave == slave ? known.value : std::nullopt;
}

void I2cOperations::noteKnown(int address, uint8_t slave, std::optional<uint8_t> value) {
  if (address >= 0 && address < protocol::kRegisterCount) known_[static_cast<std::size_t>(address)] = {slave, value};
}

I2cOperations::LastRead I2cOperations::lastRead(int address) const {
  return address >= 0 && address < protocol::kRegisterCount ? lastReads_[static_cast<std::size_t>(address)]
                                                            : LastRead{};
}

void I2cOperations::noteRead(int address, uint8_t slave, std::optional<uint8_t> value) {
  if (address < 0 || address >= protocol::kRegisterCount) return;
  lastReads_[static_cast<std::size_t>(address)] = {true, value};
  readBySlave_[slave][static_cast<std::size_t>(address)] = value;
}

std::optional<uint8_t> I2cOperations::lastReadValue(int address, uint8_t slave) const {
  if (address < 0 || address >= protocol::kRegisterCount) return std::nullopt;
  const auto chip = readBySlave_.find(slave);
  return chip == readBySlave_.end() ? std::nullopt : chip->second[static_cast<std::size_t>(address)];
}

void I2cOperations::tellDoesNotFit(const std::string& what, const std::string& text) {
  ui_.messageBox(what + ": " + quoted(text) + " does not fit in a byte (0 to FF). Nothing was sent.", "");
}

text::Outcome I2cOperations::slaveAddress(RegisterForm& form, uint8_t& address) {
  const std::string& text = form.tbI2Caddr.text();
  const uint32_t value = text::hexTextValue(text);
  if (value > 0xFF) {
    tellDoesNotFit("Slave Address", text);
    return notSent("the slave address does not fit in a byte");
  }
  // The chip's write address is even; the read address is the one above it.
  // An odd address would send reads to the next device's write address.
  if (value % 2 != 0) {
    ui_.messageBox("Slave Address: " + quoted(text) +
                       " is odd. Type the chip's write address; reads use the address + 1. Nothing was sent.",
                   "");
    return notSent("the slave address is odd");
  }
  address = static_cast<uint8_t>(value);
  return {};
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

I2cResult I2cOperations::refused(I2cOutcome outcome, text::Outcome failure) {
  I2cResult result;
  result.outcome = outcome;
  result.result = std::move(failure);
  return result;
}

I2cResult I2cOperations::written(const usb::TransferOutcome& transfer) {
  I2cResult result;
  result.outcome = I2cOutcome::Sent;
  result.transfer = transfer;
  result.result = transfer.outcome();
  return result;
}

I2cResult I2cOperations::do_i2c_write(int16_t Index) {
  if (window_ == nullptr || !isRow(Index)) return refused(I2cOutcome::NotSent, notSent("no such register"));
  if (!link_.requireDevice()) return refused(I2cOutcome::NotConnected, noBoard());

  RegisterForm& form = window_->get();
  uint8_t address = 0;
  if (auto refusal = slaveAddress(form, address); !refusal.ok()) return refused(I2cOutcome::NotSent, refusal);
  const auto value = writeValue(form, Index);
  if (!value) return refused(I2cOutcome::NotSent, notSent("the value does not fit in a byte"));

  I2cResult result = written(
      link_.writePipe(protocol::kI2cPipe, protocol::registerWritePacket(address, static_cast<uint8_t>(Index), *value)));
  result.values = {*value};
  noteKnown(Index, address, result.ok() ? value : std::nullopt);
  return result;
}

I2cResult I2cOperations::do_i2c_writeall() {
  if (window_ == nullptr) return refused(I2cOutcome::NotSent, notSent("no register window"));
  if (!link_.requireDevice()) return refused(I2cOutcome::NotConnected, noBoard());

  RegisterForm& form = window_->get();
  uint8_t address = 0;
  if (auto refusal = slaveAddress(form, address); !refusal.ok()) return refused(I2cOutcome::NotSent, refusal);
  // One packet carries every register: one value that does not fit stops all.
  std::array<uint8_t, protocol::kRegisterCount> values{};
  for (int i = 0; i < protocol::kRegisterCount; ++i) {
    const auto value = writeValue(form, i);
    if (!value) return refused(I2cOutcome::NotSent, notSent("a value does not fit in a byte"));
    values[static_cast<std::size_t>(i)] = *value;
  }
  I2cResult result = written(link_.writePipe(protocol::kI2cPipe, protocol::registerBlockWritePacket(address, values)));
  result.values.assign(values.begin(), values.end());
  for (int i = 0; i < protocol::kRegisterCount; ++i) {
    noteKnown(i, address, result.ok() ? std::optional<uint8_t>(values[static_cast<std::size_t>(i)]) : std::nullopt);
  }
  return result;
}

I2cResult I2cOperations::requestAndRead(std::span<const uint8_t> request, std::span<uint8_t> answer,
                                        const std::string& action, uint8_t slave) {
  const usb::TransferOutcome sent = link_.writePipe(protocol::kI2cPipe, request);
  I2cResult result;
  result.outcome = I2cOutcome::Sent;
  result.transfer = sent;
  // The answer is read even when the request failed: the board may still hold
  // an answer, and the failure is in the log either way. Not so for a read
  // nobody waits for (a watch): its one deadline is spent already.
  if (!sent.ok() && link_.unattended()) {
    result.result = sent.outcome();
    return result;
  }
  const usb::TransferOutcome read = link_.readPipe(protocol::kAnswerPipe, answer);
  result.transfer = read;
  // A request the board did not take whole asked for nothing: whatever answer
  // came is not this register's. Bytes of a failed read are not trusted as
  // register values either.
  if (!sent.ok() || !read.ok()) {
    // When both failed, the request's failure is the cause.
    if (!sent.ok()) result.transfer = sent;
    result.result = result.transfer.outcome();
    return result;
  }
  if (read.bytes < 2) {
    result.result = text::Failure("the board's answer held no value (" + std::to_string(read.bytes) + " of " +
                                      std::to_string(answer.size()) + " bytes)",
                                  text::FailureKind::Short);
    return result;
  }
  // Byte 0 is the board's own status: anything but 00 says the bytes after it
  // are no value of the chip's, whatever they hold.
  if (const uint8_t status = answer[0]; status != protocol::kAnswerOk) {
    const std::string answered =
        status == protocol::kAnswerNack ? text::hexText(status, 2) : "0x" + text::hexText(status, 2);
    result.result = text::Failure(
        "no acknowledge from the chip at 0x" + text::hexText(slave, 2) + " (the board answered " + answered + ")",
        text::FailureKind::NoAnswer);
    log_.logError(action + ": " + result.reason());
    return result;
  }
  result.values.assign(answer.begin() + 1, answer.begin() + read.bytes);
  return result;
}

void I2cOperations::showAnswer(int first, std::span<const uint8_t> answer, const I2cResult& result) {
  RegisterForm& form = window_->get();
  // What arrived of the answer, status byte included (a failed transfer's
  // bytes count as none).
  const std::size_t arrived = result.kind() == text::FailureKind::NoAnswer ? result.transfer.bytes : 0;
  const int last = answer.size() == protocol::kI2cReadAnswerLength ? first : protocol::kRegisterCount - 1;
  for (int i = first; i <= last; ++i) {
    const auto at = static_cast<std::size_t>(i - first);
    forms::TextBox& box = form.tbI2Cregread[i];
    if (at < result.values.size()) {
      box.setText(std::string(text::byteText(result.values[at])));
      box.setNote("");  // read now, whatever Read All left
    } else if (at + 1 < arrived) {
      // The board's bytes are shown as they came, greyed: no value of the
      // chip's, and the note says why.
      box.setText(std::string(text::byteText(answer[at + 1])));
      box.setNote(result.reason());
    } else {
      // A register whose byte did not arrive shows nothing rather than a
      // value that was never read.
      box.setText("");
      box.setNote("");
    }
  }
}

I2cResult I2cOperations::do_i2c_read(int16_t Index) {
  if (window_ == nullptr || !isRow(Index)) return refused(I2cOutcome::NotSent, notSent("no such register"));
  if (!link_.requireDevice()) return refused(I2cOutcome::NotConnected, noBoard());

  RegisterForm& form = window_->get();
  uint8_t slave = 0;
  if (auto refusal = slaveAddress(form, slave); !refusal.ok()) return refused(I2cOutcome::NotSent, refusal);
  const uint8_t address = protocol::readAddress(slave);
  std::array<uint8_t, protocol::kI2cReadAnswerLength> answer{};
  const std::string action = "Read " + form.Label1[Index].caption();
  I2cResult result =
      requestAndRead(protocol::registerReadRequest(address, static_cast<uint8_t>(Index)), answer, action, slave);

  noteRead(Index, slave, result.ok() ? std::optional<uint8_t>(result.values[0]) : std::nullopt);
  // A read that failed tells nothing new of what the chip holds.
  if (result.ok()) noteKnown(Index, slave, result.values[0]);
  // (The window is reached again: a wait for the board lets a person close it.)
  showAnswer(Index, answer, result);
  return result;
}

I2cResult I2cOperations::do_i2c_readall(int16_t Index) {
  if (window_ == nullptr || Index < 0 || Index > 0xFF) {
    return refused(I2cOutcome::NotSent, notSent("no such register"));
  }
  if (!link_.requireDevice()) return refused(I2cOutcome::NotConnected, noBoard());

  RegisterForm& form = window_->get();
  uint8_t slave = 0;
  if (auto refusal = slaveAddress(form, slave); !refusal.ok()) return refused(I2cOutcome::NotSent, refusal);
  const uint8_t address = protocol::readAddress(slave);
  std::array<uint8_t, protocol::kI2cBlockAnswerLength> answer{};
  I2cResult result = requestAndRead(protocol::registerBlockReadRequest(address, static_cast<uint8_t>(Index)), answer,
                                    "Block read from 0x" + text::hexText(static_cast<uint8_t>(Index), 2), slave);

  // The answer's values are the registers from Index on, whichever boxes
  // show them.
  for (int reg = Index; reg < protocol::kRegisterCount; ++reg) {
    const auto at = static_cast<std::size_t>(reg - Index);
    noteRead(reg, slave, at < result.values.size() ? std::optional<uint8_t>(result.values[at]) : std::nullopt);
    if (at < result.values.size()) noteKnown(reg, slave, result.values[at]);
  }
  showAnswer(0, answer, result);
  return result;
}

}  // namespace glim::i2c
