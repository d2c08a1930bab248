#include "i2c/register_descriptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "i2c/register_form.h"

namespace glim::i2c {
namespace {

// The example of docs/registers.md, in short.
constexpr const char* kDeviceControl = R"({
  "registers": {
    "0x01": {
      "name": "Device Control",
      "description": "Enable and mode",
      "access": "rw",
      "fields": [
        {"bits": "0", "name": "EN", "values": {"0": "off", "1": "on"}},
        {"bits": "3:2", "name": "MODE", "description": "Operating mode",
         "values": {"0": "off", "0b01": "standby", "0x2": "on"}},
        {"bits": "7:4", "name": "TRIM"}
      ]
    },
    "0x0A": {"name": "GD", "access": "ro"},
    "0x0b": {}
  }
})";

RegisterDescriptions parsed(const std::string& json) {
  RegisterDescriptions d;
  const text::Outcome outcome = RegisterDescriptions::parse(json, "regs.json", d);
  EXPECT_TRUE(outcome.ok()) << outcome.reason();
  return d;
}

TEST(RegisterDescriptions, ReadsRegistersFieldsAndValueNames) {
  const RegisterDescriptions d = parsed(kDeviceControl);
  const RegisterDescription* control = d.find(1);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->name, "Device Control");
  EXPECT_EQ(control->description, "Enable and mode");
  EXPECT_EQ(control->access, Access::ReadWrite);
  ASSERT_EQ(control->fields.size(), 3u);
  const FieldDescription& mode = control->fields[1];
  EXPECT_EQ(mode.name, "MODE");
  EXPECT_EQ(mode.description, "Operating mode");
  EXPECT_EQ(mode.high, 3);
  EXPECT_EQ(mode.low, 2);
  EXPECT_EQ(mode.valueNames, (std::map<unsigned, std::string>{{0, "off"}, {1, "standby"}, {2, "on"}}));
  EXPECT_EQ(d.find(10)->access, Access::ReadOnly);
  EXPECT_EQ(accessName(d.find(10)->access), "ro");
  // Described with nothing known: there, but with no name, access or fields.
  ASSERT_NE(d.find(11), nullptr);
  EXPECT_EQ(*d.find(11), RegisterDescription{});
  EXPECT_EQ(d.find(2), nullptr);
  EXPECT_EQ(d.find(22), nullptr);
  EXPECT_FALSE(d.empty());
  EXPECT_TRUE(parsed(R"({"registers": {}, "description": "none yet"})").empty());
}

TEST(RegisterDescriptions, DecodeNamesEachFieldInTheFilesOrder) {
  const RegisterDescriptions d = parsed(kDeviceControl);
  struct Case {
    int address;
    uint8_t value;
    const char* line;
  };
  const Case cases[] = {
      {1, 0x05, "0x01 Device Control = 05: EN 1 (on), MODE 01 (standby), TRIM 0000"},
      {1, 0xAC, "0x01 Device Control = AC: EN 0 (off), MODE 11, TRIM 1010"},
      {10, 0x4D, "0x0A GD = 4D"},
      // Not described, or described without a name: the row's label.
      {4, 0x00, "0x04 = 00"},
      {3, 0xB8, "0x03 Identification = B8"},
      {11, 0xB3, "0x0B GB = B3"},
  };
  for (const Case& c : cases) EXPECT_EQ(d.decodeLine(c.address, c.value), c.line);
  EXPECT_EQ(RegisterDescriptions().decodeLine(1, 0x05), "0x01 Device Control = 05");

  const std::vector<FieldValue> fields = d.decode(1, 0x09);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1].field->name, "MODE");
  EXPECT_EQ(fields[1].value, 2u);
  EXPECT_EQ(fields[1].valueName, "on");
}

// Every refusal names the file, and the line and column of what it refuses.
TEST(RegisterDescriptions, RefusesAWrongFileWithWhereItIsWrong) {
  struct Case {
    const char* json;
    const char* reason;
  };
  const Case cases[] = {
      {"",
       "line 1, column 1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"{\"registers\": {\n",
       "line 2, column 1: syntax error while parsing object key - unexpected end of input; "
       "expected string literal"},
      {"{\"registers\": {}} x",
       "line 1, column 19: syntax error while parsing value - invalid literal; expected end of input"},
      {"[]", "line 1, column 1: the file must hold an object with \"registers\""},
      {"{\"description\": \"x\"}", "line 1, column 1: \"registers\" must be an object of registers by address"},
      {"{\"registers\": []}", "line 1, column 15: \"registers\" must be an object of registers by address"},
      {"{\"registers\": {}, \"chip\": 1}", "line 1, column 19: unknown key \"chip\" (description, registers)"},
      {"{\"registers\": {\"0x16\": {}}}", "line 1, column 16: register 0x16 is beyond 0x15"},
      {"{\"registers\": {\"0x100000000\": {}}}", "line 1, column 16: register 0x100000000 is beyond 0x15"},
      {"{\"registers\": {\"5\": {}}}", "line 1, column 16: \"5\" is not a register address (0x00 to 0x15)"},
      {"{\"registers\": {\"0x1\": {},\n \"0x01\": {}}}", "line 2, column 2: register 0x01 is described twice"},
      {"{\"registers\": {\"0x01\": []}}", "line 1, column 24: a register must be an object"},
      {"{\"registers\": {\"0x01\": {\"name\": \"a\", \"name\": \"b\"}}}", "line 1, column 38: \"name\" is given twice"},
      // Positions count characters, not bytes, and see past escaped quotes.
      {"{\"registers\": {\"0x01\": {\"name\": \"Ä\\\"\\\\\", \"accss\": \"rw\"}}}",
       "line 1, column 42: unknown key \"accss\" (name, description, access, fields)"},
      {"{\"registers\": {\"0x01\": {\"name\": 12}}}", "line 1, column 33: \"name\" must be a string"},
      {"\xEF\xBB\xBF{\"registers\": {\"0x01\": {\"name\": 12}}}", "line 1, column 33: \"name\" must be a string"},
      {"{\"registers\": {\"0x01\": {\"name\": -1.5e3 }}}", "line 1, column 33: \"name\" must be a string"},
      {"{\"registers\": {\"0x01\": {\"name\": false}}}", "line 1, column 33: \"name\" must be a string"},
      {"{\"registers\": {\"0x01\": {\"access\": \"rx\"}}}", "line 1, column 35: access \"rx\" is not rw, ro or wo"},
      {"{\"registers\": {\"0x01\": {\"fields\": {}}}}", "line 1, column 35: \"fields\" must be a list"},
      {"{\"registers\": {\"0x01\": {\"fields\": [1]}}}", "line 1, column 36: a field must be an object"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\"}]}}}",
       "line 1, column 36: a field needs \"bits\" and a \"name\""},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": 3, \"name\": \"A\"}]}}}",
       "line 1, column 45: \"bits\" must be a string (\"7:4\" or \"3\")"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"8:4\", \"name\": \"A\"}]}}}",
       "line 1, column 45: bits \"8:4\" are outside 7:0"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"12\", \"name\": \"A\"}]}}}",
       "line 1, column 45: bits \"12\" are outside 7:0"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"4:7\", \"name\": \"A\"}]}}}",
       "line 1, column 45: bits \"4:7\" must be written high:low"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"7:\", \"name\": \"A\"}]}}}",
       "line 1, column 45: bits \"7:\" are not written as \"7:4\" or \"3\""},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"-1\", \"name\": \"A\"}]}}}",
       "line 1, column 45: bits \"-1\" are not written as \"7:4\" or \"3\""},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1:0\", \"name\": \"A\", \"values\": {\"4\": \"x\"}}]}}}",
       "line 1, column 76: value \"4\" does not fit field \"A\" (2 bits)"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": {\"0x2\": \"x\"}}]}}}",
       "line 1, column 74: value \"0x2\" does not fit field \"A\" (1 bit)"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"7:0\", \"name\": \"A\", \"values\": {\"99999999999\": "
       "\"x\"}}]}}}",
       "line 1, column 76: value \"99999999999\" does not fit field \"A\" (8 bits)"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": {\"0b2\": \"x\"}}]}}}",
       "line 1, column 74: value \"0b2\" is not a number"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": {\"on\": \"x\"}}]}}}",
       "line 1, column 74: value \"on\" is not a number"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": {\"1\": \"x\", "
       "\"0b1\": \"y\"}}]}}}",
       "line 1, column 84: value \"0b1\" of field \"A\" is named twice"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": {\"1\": 1}}]}}}",
       "line 1, column 79: a value's name must be a string"},
      {"{\"registers\": {\"0x01\": {\"fields\": [{\"bits\": \"1\", \"name\": \"A\", \"values\": [\"x\"]}]}}}",
       "line 1, column 73: \"values\" must be an object (\"0\": \"off\")"},
      // The issue's own example, on its line 12.
      {R"({
  "registers": {
    "0x01": {
      "name": "Device Control",
      "fields": [
        {"bits": "0", "name": "EN"},
        {"bits": "7:4", "name": "TRIM"},
        {
          "name": "MODE",
          "description": "Operating mode",
          "bits":
    "3:0"
        }
      ]
    }
  }
})",
       "line 12, column 5: field \"MODE\" overlaps \"EN\""},
      {"{\"description\": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]}",
       "line 1, column 48: nested too deeply"},
      {"{\"description\": \"\xC3\x28\"}",
       "line 1, column 19: syntax error while parsing value - invalid string: "
       "ill-formed UTF-8 byte"},
  };
  for (const Case& c : cases) {
    RegisterDescriptions d = parsed(R"({"registers": {"0x02": {"name": "kept"}}})");
    const RegisterDescriptions before = d;
    const text::Outcome outcome = RegisterDescriptions::parse(c.json, "regs.json", d);
    EXPECT_EQ(outcome.reason(), std::string("regs.json ") + c.reason) << c.json;
    EXPECT_EQ(d, before) << "a refused file changes nothing: " << c.json;
  }
}

// A file of many keys (a megabyte of them) is refused at its one repeated key,
// wherever that stands, and named.
TEST(RegisterDescriptions, ManyKeysAreCheckedForRepeatsAtOnce) {
  std::string json = "{\"registers\": {\"0x01\": {\"name\": \"a\"";
  for (int k = 0; k < 95000; ++k) json += ", \"k" + std::to_string(k) + "\": 0";
  const std::string repeated = json + ", \"k47000\": 1}}}";
  RegisterDescriptions d;
  const text::Outcome outcome = RegisterDescriptions::parse(repeated, "big.json", d);
  EXPECT_EQ(outcome.reason(),
            "big.json line 1, column " + std::to_string(json.size() + 3) + ": \"k47000\" is given twice");
  // The same keys in another object are no repeat: only the unknown key is refused.
  const std::string apart = json + "}, \"0x02\": {\"k47000\": 1}}}";
  EXPECT_EQ(RegisterDescriptions::parse(apart, "big.json", d).reason(),
            "big.json line 1, column 38: unknown key \"k0\" (name, description, access, fields)");
}

// The file the program ships names the registers as their rows do, and
// nothing more.
TEST(RegisterDescriptions, ShippedFileHoldsTheRowsNames) {
  std::ifstream file(GLIMMORA_SHIPPED_REGISTERS, std::ios::binary);
  ASSERT_TRUE(file) << GLIMMORA_SHIPPED_REGISTERS;
  std::ostringstream text;
  text << file.rdbuf();
  const RegisterDescriptions d = parsed(text.str());
  for (int address = 0; address < usb::protocol::kRegisterCount; ++address) {
    const RegisterDescription* reg = d.find(address);
    ASSERT_NE(reg, nullptr) << address;
    const std::string label(registerName(address));
    EXPECT_EQ(reg->name, label.size() > 5 ? label.substr(5) : "") << label;
    EXPECT_EQ(reg->access, Access::Unstated) << label;
    EXPECT_TRUE(reg->fields.empty()) << label;
    EXPECT_EQ(d.decodeLine(address, 0x5A), label + " = 5A");
  }
}

}  // namespace
}  // namespace glim::i2c
