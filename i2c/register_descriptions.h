#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/outcome.h"
#include "usb/protocol.h"

namespace glim::i2c {

// What a register's description says the program may do with it.
enum class Access { Unstated, ReadWrite, ReadOnly, WriteOnly };

// "rw", "ro", "wo"; "" when the description does not say.
std::string_view accessName(Access access);

// Bits `high` down to `low` of a register (7 >= high >= low >= 0).
struct FieldDescription {
  int high = 0;
  int low = 0;
  std::string name;
  std::string description;
  // Names of some of the field's values ("0" -> "off").
  std::map<unsigned, std::string> valueNames;

  int width() const { return high - low + 1; }
  unsigned valueIn(uint8_t registerValue) const { return (registerValue >> low) & ((1u << width()) - 1u); }
  bool operator==(const FieldDescription&) const = default;
};

struct RegisterDescription {
  std::string name;  // "Device Control"; empty when the file gives none
  std::string description;
  Access access = Access::Unstated;
  std::vector<FieldDescription> fields;  // in the file's order
  bool operator==(const RegisterDescription&) const = default;
};

// One field of a register value, as decode shows it (it points into the
// descriptions it came from).
struct FieldValue {
  const FieldDescription* field = nullptr;
  unsigned value = 0;
  std::string bits;            // the value in binary, one digit per bit ("01")
  std::string_view valueName;  // "" when the value has no name
};

// What is known of the chip's registers 0x00..0x15: whatever a description
// file says, nothing for the registers it leaves out.
class RegisterDescriptions {
 public:
  static constexpr int kAddressCount = usb::protocol::kRegisterCount;

  // Reads the text of a description file; `source` names it in a refusal
  // ("regs.json line 12, column 5: field \"MODE\" overlaps \"EN\""). A file
  // with anything wrong is refused as a whole: `into` is then left as it was.
  static text::Outcome parse(std::string_view json, std::string_view source, RegisterDescriptions& into);

  // Null when the register is not described (or there is no such register).
  const RegisterDescription* find(int address) const;
  bool empty() const;

  // "0x01 Device Control": the address and the name the file gives, or else
  // the register's row label ("0x04").
  std::string heading(int address) const;
  // The described fields of register `address` holding `value`.
  std::vector<FieldValue> decode(int address, uint8_t value) const;
  // "0x01 Device Control = 05: EN 1 (on), MODE 01 (standby)"; "0x04 = 00".
  std::string decodeLine(int address, uint8_t value) const;

  bool operator==(const RegisterDescriptions&) const = default;

 private:
  std::array<std::optional<RegisterDescription>, kAddressCount> registers_;
};

}  // namespace glim::i2c
