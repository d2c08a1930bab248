// Arbitrary bytes as a register description file, read by the parser alone
// from memory. A refusal must leave the descriptions in use alone and point
// at a place inside the text; whatever it takes must be sound (fields inside
// 7:0, not overlapping, value names that fit) and, written back as JSON, read
// back to the same descriptions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "i2c/register_descriptions.h"
#include "text/hex_text.h"

namespace {

using glim::i2c::RegisterDescriptions;

void require(bool condition) {
  if (!condition) std::abort();
}

// "src.json line L, column C: why" with L and C a place in `text` (a column
// counted in characters, one past the end of its line at most).
void requireInside(const std::string& reason, std::string_view text) {
  constexpr std::string_view head = "src.json line ";
  require(reason.compare(0, head.size(), head) == 0);
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t at = head.size();
  while (at < reason.size() && reason[at] >= '0' && reason[at] <= '9')
    line = line * 10 + std::size_t(reason[at++] - '0');
  require(reason.compare(at, 9, ", column ") == 0);
  at += 9;
  while (at < reason.size() && reason[at] >= '0' && reason[at] <= '9')
    column = column * 10 + std::size_t(reason[at++] - '0');
  require(reason.compare(at, 2, ": ") == 0 && reason.size() > at + 2 && line >= 1 && column >= 1);
  std::size_t lineStart = 0;
  for (std::size_t l = 1; l < line; ++l) {
    lineStart = text.find('\n', lineStart);
    require(lineStart != std::string_view::npos);
    ++lineStart;
  }
  std::size_t characters = 0;
  for (std::size_t i = lineStart; i < text.size() && text[i] != '\n'; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++characters;
  }
  require(column <= characters + 1);
}

nlohmann::json written(const RegisterDescriptions& d) {
  nlohmann::json registers = nlohmann::json::object();
  for (int address = 0; address < RegisterDescriptions::kAddressCount; ++address) {
    const glim::i2c::RegisterDescription* reg = d.find(address);
    if (reg == nullptr) continue;
    nlohmann::json r = {{"name", reg->name}, {"description", reg->description}};
    if (reg->access != glim::i2c::Access::Unstated) r["access"] = glim::i2c::accessName(reg->access);
    r["fields"] = nlohmann::json::array();
    unsigned used = 0;
    for (const glim::i2c::FieldDescription& f : reg->fields) {
      require(f.low >= 0 && f.low <= f.high && f.high <= 7 && !f.name.empty());
      const unsigned mask = ((1u << f.width()) - 1u) << f.low;
      require((used & mask) == 0);
      used |= mask;
      nlohmann::json values = nlohmann::json::object();
      for (const auto& [value, name] : f.valueNames) {
        require(value < (1u << f.width()));
        values[std::to_string(value)] = name;
      }
      r["fields"].push_back({{"bits", std::to_string(f.high) + ":" + std::to_string(f.low)},
                             {"name", f.name},
                             {"description", f.description},
                             {"values", values}});
    }
    registers["0x" + glim::text::hexText(static_cast<uint32_t>(address), 2)] = r;
  }
  return {{"registers", registers}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegisterDescriptions before;
  require(RegisterDescriptions::parse(R"({"registers": {"0x03": {"name": "kept"}}})", "seed", before).ok());
  RegisterDescriptions d = before;
  const glim::text::Outcome outcome = RegisterDescriptions::parse(text, "src.json", d);
  if (!outcome.ok()) {
    require(d == before);
    requireInside(outcome.reason(), text);
    return 0;
  }
  const std::string again = written(d).dump(1);
  RegisterDescriptions reread;
  require(RegisterDescriptions::parse(again, "again.json", reread).ok() && reread == d);
  for (int address = 0; address < RegisterDescriptions::kAddressCount; ++address) {
    for (const unsigned value : {0x00u, 0x5Au, 0xA5u, 0xFFu}) {
      const std::string line = d.decodeLine(address, static_cast<uint8_t>(value));
      require(line.compare(0, d.heading(address).size(), d.heading(address)) == 0);
    }
  }
  return 0;
}
