#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forms/log.h"
#include "forms/signal.h"
#include "forms/ui_host.h"
#include "i2c/register_descriptions.h"
#include "text/outcome.h"
#include "usb/board_link.h"

namespace glim::i2c {

class RegisterWindow;
class RegisterForm;

// What became of one I2C operation.
enum class I2cOutcome {
  Sent,          // the packets went to the board (see the transfer for how that went)
  NotConnected,  // no board held: the user was told, nothing changed
  NotSent,       // a text does not fit its byte, or the address is odd: the user was told, nothing sent
};

struct I2cResult {
  I2cOutcome outcome = I2cOutcome::NotSent;
  // Sent: the transfer that decides the result (a write's packet, a read's
  // answer; a failed request when its answer could not be read either).
  usb::TransferOutcome transfer;
  // A read's value(s), when they arrived: one for a register read, up to 22
  // for a block read.
  std::vector<uint8_t> values;
  // Done, or why it failed in a few words.
  text::Outcome result;

  bool ok() const { return outcome == I2cOutcome::Sent && result.ok(); }
  const std::string& reason() const { return result.reason(); }
  // What kind of failure it was (None when ok()).
  text::FailureKind kind() const { return result.kind(); }
  bool cancelled() const { return kind() == text::FailureKind::Cancelled; }
};

// The I2C command packets (out on the I2C pipe, answers on the answer pipe). They read the
// register window's boxes and write its read boxes; the window is created with
// its defaults when it does not exist.
class I2cOperations {
 public:
  I2cOperations(usb::BoardLink& link, forms::UiHost& ui, forms::Log& log);
  void setWindow(RegisterWindow& window) { window_ = &window; }
  usb::BoardLink& link() { return link_; }
  forms::Log& log() { return log_; }

  I2cResult do_i2c_write(int16_t Index);
  I2cResult do_i2c_writeall();
  I2cResult do_i2c_read(int16_t Index);
  // Index is the first register put into the request; the answer fills all 22
  // read boxes whatever it is.
  I2cResult do_i2c_readall(int16_t Index);

  // What the last read of a register gave since the board now held was
  // accepted: `made` is false while it was not read, and `value` is empty
  // when the last read brought none (the request or the answer failed).
  struct LastRead {
    bool made = false;
    std::optional<uint8_t> value;
  };
  LastRead lastRead(int address) const;
  // What the last read of register `address` of the chip at write address
  // `slave` gave since the board now held was accepted; nothing when that
  // read failed or none was made. Each chip keeps its own.
  std::optional<uint8_t> lastReadValue(int address, uint8_t slave) const;

  // The value register `address` of the chip at write address `slave` is
  // known to hold: what the last successful write or read of it there gave
  // since the board now held was accepted. Nothing while no board is held,
  // nor after a write that was sent but failed or was cancelled (the chip
  // may or may not have taken it).
  std::optional<uint8_t> knownValue(int address, uint8_t slave) const;

  // The register descriptions in use (they stay the caller's); the register
  // window's rows say what they describe.
  void useDescriptions(const RegisterDescriptions& descriptions);
  const RegisterDescriptions& descriptions() const { return *descriptions_; }

 private:
  void noteRead(int address, uint8_t slave, std::optional<uint8_t> value);
  void noteKnown(int address, uint8_t slave, std::optional<uint8_t> value);
  // The slave (write) address in `address`, or a failure after telling the
  // user it does not fit a byte or is odd. Reads go to readAddress() of it.
  text::Outcome slaveAddress(RegisterForm& form, uint8_t& address);
  // Register i's write value, or nothing after telling the user.
  std::optional<uint8_t> writeValue(RegisterForm& form, int i);
  // Sends a read request and reads its answer into `answer`. The result holds
  // the answer's value bytes (after the board's status byte) that arrived,
  // and none when the board said the chip did not acknowledge. `action` and
  // `slave` name the read in the log line of such an answer.
  I2cResult requestAndRead(std::span<const uint8_t> request, std::span<uint8_t> answer, const std::string& action,
                           uint8_t slave);
  // The read boxes from `first` on show the answer's bytes that arrived; an
  // answer the board marked as no value greys them with `result`'s reason.
  void showAnswer(int first, std::span<const uint8_t> answer, const I2cResult& result);
  I2cResult written(const usb::TransferOutcome& transfer);
  I2cResult refused(I2cOutcome outcome, text::Outcome failure);
  void tellDoesNotFit(const std::string& what, const std::string& text);

  usb::BoardLink& link_;
  forms::UiHost& ui_;
  forms::Log& log_;
  RegisterWindow* window_ = nullptr;
  std::array<LastRead, usb::protocol::kRegisterCount> lastReads_{};
  std::map<uint8_t, std::array<std::optional<uint8_t>, usb::protocol::kRegisterCount>> readBySlave_;
  struct Known {
    uint8_t slave = 0;
    std::optional<uint8_t> value;
  };
  std::array<Known, usb::protocol::kRegisterCount> known_{};
  forms::Connection forgetsReads_;  // a board accepted starts with nothing read or known
  const RegisterDescriptions* descriptions_;
};

}  // namespace glim::i2c
