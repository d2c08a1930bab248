#include "i2c/register_descriptions.h"

#include <charconv>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_set>

#include "i2c/register_form.h"
#include "text/hex_text.h"

namespace glim::i2c {

namespace {

using Json = nlohmann::json;

// The file as a tree of its own: nlohmann checks the syntax and unescapes the
// strings, and every key and value keeps where it starts in the text, so a
// refusal can point at what it refuses.
struct Node {
  enum class Kind { Object, Array, String, Other };
  Kind kind = Kind::Other;
  std::size_t at = 0;
  std::string text;                                       // a string's value
  std::vector<std::pair<std::string, std::size_t>> keys;  // an object's keys, where each starts
  std::vector<Node> items;                                // its values (in keys' order), or an array's items
};

struct Refused {
  std::size_t at;
  std::string why;
};

// Reads the text for nlohmann, one byte at a time, and remembers the last
// byte read: when the parser reports a token, that is where the token ends.
struct TrackingIterator {
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;
  const char* at = nullptr;
  const char** furthest = nullptr;
  reference operator*() const {
    *furthest = at;
    return *at;
  }
  TrackingIterator& operator++() {
    ++at;
    return *this;
  }
  TrackingIterator operator++(int) { return {at++, furthest}; }
  bool operator==(const TrackingIterator& other) const { return at == other.at; }
};

// A file nested deeper than this describes nothing we read, and the tree
// would be freed by as deep a recursion.
constexpr std::size_t kMaxDepth = 32;

bool isNumberChar(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; }

class TreeBuilder {
 public:
  TreeBuilder(std::string_view text, const char* const& furthest) : text_(text), furthest_(furthest) {}

  bool null() { return value(Node::Kind::Other, offset() - 3); }
  bool boolean(bool b) { return value(Node::Kind::Other, offset() - (b ? 3 : 4)); }
  bool number_integer(Json::number_integer_t) { return number(); }
  bool number_unsigned(Json::number_unsigned_t) { return number(); }
  bool number_float(Json::number_float_t, const std::string&) { return number(); }
  bool string(std::string& s) { return value(Node::Kind::String, quoteStart(), std::move(s)); }
  bool binary(Json::binary_t&) { return false; }  // JSON text holds none
  bool start_object(std::size_t) { return open(Node::Kind::Object); }
  bool start_array(std::size_t) { return open(Node::Kind::Array); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(std::string& name) {
    Node& object = *open_.back();
    const std::size_t at = quoteStart();
    // A set per open object: a file of many keys is checked in linear time.
    if (!openKeys_.back().insert(name).second) return refuse(at, "\"" + name + "\" is given twice");
    object.keys.emplace_back(std::move(name), at);
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const Json::exception& e) {
    // nlohmann's words without its own prefix and position, nor the text
    // it last read (which may be a whole line).
    std::string why = e.what();
    const std::size_t colon = why.find(": ", why.find("column "));
    if (colon != std::string::npos) why.erase(0, colon + 2);
    if (const std::size_t read = why.find("; last read: "); read != std::string::npos) {
      why.erase(read, why.find("; expected", read) - read);
    }
    return refuse(position > 0 ? position - 1 : 0, why);
  }

  Node root;
  std::optional<Refused> refusal;

 private:
  std::size_t offset() const { return furthest_ == nullptr ? 0 : static_cast<std::size_t>(furthest_ - text_.data()); }
  // A string ends at the quote just read; it starts at the last quote before
  // that which no backslash escapes.
  std::size_t quoteStart() const {
    for (std::size_t i = offset(); i-- > 0;) {
      if (text_[i] != '"') continue;
      std::size_t slashes = 0;
      while (slashes < i && text_[i - 1 - slashes] == '\\') ++slashes;
      if (slashes % 2 == 0) return i;
    }
    return 0;
  }
  // The parser knows a number has ended once it read the byte after it.
  bool number() {
    std::size_t start = offset() + (offset() < text_.size() && isNumberChar(text_[offset()]) ? 1 : 0);
    while (start > 0 && isNumberChar(text_[start - 1])) --start;
    return value(Node::Kind::Other, start);
  }
  bool value(Node::Kind kind, std::size_t at, std::string text = {}) {
    add(Node{kind, at, std::move(text), {}, {}});
    return true;
  }
  Node* add(Node node) {
    if (open_.empty()) {
      root = std::move(node);
      return &root;
    }
    open_.back()->items.push_back(std::move(node));
    return &open_.back()->items.back();
  }
  bool open(Node::Kind kind) {
    if (open_.size() == kMaxDepth) return refuse(offset(), "nested too deeply");
    open_.push_back(add(Node{kind, offset(), {}, {}, {}}));
    openKeys_.emplace_back();
    return true;
  }
  bool close() {
    open_.pop_back();
    openKeys_.pop_back();
    return true;
  }
  bool refuse(std::size_t at, std::string why) {
    refusal = Refused{at, std::move(why)};
    return false;
  }

  std::string_view text_;
  const char* const& furthest_;
  std::vector<Node*> open_;
  std::vector<std::unordered_set<std::string>> openKeys_;  // the keys of each open object so far
};

const Node* member(const Node& object, std::string_view key) {
  for (std::size_t i = 0; i < object.keys.size(); ++i) {
    if (object.keys[i].first == key) return &object.items[i];
  }
  return nullptr;
}

void onlyKeys(const Node& object, std::initializer_list<std::string_view> known) {
  for (const auto& [key, at] : object.keys) {
    bool found = false;
    std::string list;
    for (const std::string_view k : known) {
      found = found || k == key;
      list += (list.empty() ? "" : ", ") + std::string(k);
    }
    if (!found) throw Refused{at, "unknown key \"" + key + "\" (" + list + ")"};
  }
}

std::string stringIn(const Node& object, std::string_view key) {
  const Node* value = member(object, key);
  if (value == nullptr) return {};
  if (value->kind != Node::Kind::String) throw Refused{value->at, "\"" + std::string(key) + "\" must be a string"};
  return value->text;
}

// The whole text as digits of `base`: its value (UINT_MAX when larger), or
// nothing when it is no such number.
std::optional<unsigned> numberIn(std::string_view text, int base) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || end != text.data() + text.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) return ~0u;
  return ec == std::errc{} ? std::optional(value) : std::nullopt;
}

// "0x15": the register a key names.
int addressIn(const std::string& key, std::size_t at) {
  const bool hex = key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X');
  const auto address = hex ? numberIn(std::string_view(key).substr(2), 16) : std::nullopt;
  if (!address) throw Refused{at, "\"" + key + "\" is not a register address (0x00 to 0x15)"};
  if (*address >= unsigned{RegisterDescriptions::kAddressCount})
    throw Refused{at, "register " + key + " is beyond 0x15"};
  return static_cast<int>(*address);
}

// "7:4" or "3", high bit first.
void readBits(const Node& bits, FieldDescription& field) {
  const std::string_view text = bits.text;
  const std::size_t colon = text.find(':');
  const auto high = numberIn(text.substr(0, colon), 10);
  const auto low = colon == std::string_view::npos ? high : numberIn(text.substr(colon + 1), 10);
  const std::string quoted = "bits \"" + bits.text + "\"";
  if (!high || !low) throw Refused{bits.at, quoted + " are not written as \"7:4\" or \"3\""};
  if (*high > 7 || *low > 7) throw Refused{bits.at, quoted + " are outside 7:0"};
  if (*high < *low) throw Refused{bits.at, quoted + " must be written high:low"};
  field.high = static_cast<int>(*high);
  field.low = static_cast<int>(*low);
}

// "3", "0x3" or "0b11": a field value, which must fit the field.
void readValueNames(const Node& values, FieldDescription& field) {
  if (values.kind != Node::Kind::Object) throw Refused{values.at, "\"values\" must be an object (\"0\": \"off\")"};
  for (std::size_t i = 0; i < values.keys.size(); ++i) {
    const auto& [key, at] = values.keys[i];
    const bool prefixed =
        key.size() > 2 && key[0] == '0' && std::string_view("xXbB").find(key[1]) != std::string_view::npos;
    const int base = !prefixed ? 10 : key[1] == 'x' || key[1] == 'X' ? 16 : 2;
    const auto value = numberIn(std::string_view(key).substr(prefixed ? 2 : 0), base);
    if (!value) throw Refused{at, "value \"" + key + "\" is not a number"};
    if (*value >= 1u << field.width()) {
      throw Refused{at, "value \"" + key + "\" does not fit field \"" + field.name + "\" (" +
                            std::to_string(field.width()) + (field.width() == 1 ? " bit)" : " bits)")};
    }
    const Node& name = values.items[i];
    if (name.kind != Node::Kind::String) throw Refused{name.at, "a value's name must be a string"};
    if (!field.valueNames.emplace(*value, name.text).second) {
      throw Refused{at, "value \"" + key + "\" of field \"" + field.name + "\" is named twice"};
    }
  }
}

FieldDescription readField(const Node& node, const std::vector<FieldDescription>& before) {
  if (node.kind != Node::Kind::Object) throw Refused{node.at, "a field must be an object"};
  onlyKeys(node, {"bits", "name", "description", "values"});
  FieldDescription field;
  field.name = stringIn(node, "name");
  field.description = stringIn(node, "description");
  const Node* bits = member(node, "bits");
  if (bits == nullptr || field.name.empty()) throw Refused{node.at, "a field needs \"bits\" and a \"name\""};
  if (bits->kind != Node::Kind::String) throw Refused{bits->at, "\"bits\" must be a string (\"7:4\" or \"3\")"};
  readBits(*bits, field);
  for (const FieldDescription& other : before) {
    if (other.low <= field.high && field.low <= other.high) {
      throw Refused{bits->at, "field \"" + field.name + "\" overlaps \"" + other.name + "\""};
    }
  }
  if (const Node* values = member(node, "values")) readValueNames(*values, field);
  return field;
}

RegisterDescription readRegister(const Node& node) {
  if (node.kind != Node::Kind::Object) throw Refused{node.at, "a register must be an object"};
  onlyKeys(node, {"name", "description", "access", "fields"});
  RegisterDescription reg;
  reg.name = stringIn(node, "name");
  reg.description = stringIn(node, "description");
  if (const Node* access = member(node, "access")) {
    const std::string text = stringIn(node, "access");
    for (const Access a : {Access::ReadWrite, Access::ReadOnly, Access::WriteOnly}) {
      if (text == accessName(a)) reg.access = a;
    }
    if (reg.access == Access::Unstated) throw Refused{access->at, "access \"" + text + "\" is not rw, ro or wo"};
  }
  if (const Node* fields = member(node, "fields")) {
    if (fields->kind != Node::Kind::Array) throw Refused{fields->at, "\"fields\" must be a list"};
    for (const Node& field : fields->items) reg.fields.push_back(readField(field, reg.fields));
  }
  return reg;
}

// Line and column (from 1, in characters) of a byte offset; a byte order
// mark, which no editor shows, takes no column.
std::string placeOf(std::string_view text, std::size_t at) {
  int line = 1;
  int column = 1;
  for (std::size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::string_view accessName(Access access) {
  switch (access) {
    case Access::ReadWrite:
      return "rw";
    case Access::ReadOnly:
      return "ro";
    case Access::WriteOnly:
      return "wo";
    case Access::Unstated:
      break;
  }
  return "";
}

text::Outcome RegisterDescriptions::parse(std::string_view json, std::string_view source, RegisterDescriptions& into) {
  const char* furthest = nullptr;
  TreeBuilder tree(json, furthest);
  RegisterDescriptions read;
  try {
    const TrackingIterator begin{json.data(), &furthest};
    const TrackingIterator end{json.data() + json.size(), &furthest};
    if (!Json::sax_parse(begin, end, &tree)) throw tree.refusal.value_or(Refused{0, "not JSON"});
    const Node& root = tree.root;
    if (root.kind != Node::Kind::Object) throw Refused{root.at, "the file must hold an object with \"registers\""};
    onlyKeys(root, {"description", "registers"});
    stringIn(root, "description");
    const Node* registers = member(root, "registers");
    if (registers == nullptr || registers->kind != Node::Kind::Object) {
      throw Refused{registers ? registers->at : root.at, "\"registers\" must be an object of registers by address"};
    }
    for (std::size_t i = 0; i < registers->keys.size(); ++i) {
      const auto& [key, at] = registers->keys[i];
      auto& slot = read.registers_[static_cast<std::size_t>(addressIn(key, at))];
      if (slot) throw Refused{at, "register " + key + " is described twice"};
      slot = readRegister(registers->items[i]);
    }
  } catch (const Refused& refused) {
    return text::Failure(std::string(source) + " " + placeOf(json, refused.at) + ": " + refused.why);
  }
  into = std::move(read);
  return {};
}

const RegisterDescription* RegisterDescriptions::find(int address) const {
  if (address < 0 || address >= kAddressCount) return nullptr;
  const auto& slot = registers_[static_cast<std::size_t>(address)];
  return slot ? &*slot : nullptr;
}

bool RegisterDescriptions::empty() const {
  for (const auto& slot : registers_) {
    if (slot) return false;
  }
  return true;
}

std::vector<FieldValue> RegisterDescriptions::decode(int address, uint8_t value) const {
  std::vector<FieldValue> values;
  const RegisterDescription* reg = find(address);
  if (reg == nullptr) return values;
  for (const FieldDescription& field : reg->fields) {
    FieldValue v{&field, field.valueIn(value), {}, {}};
    for (int bit = field.width() - 1; bit >= 0; --bit) v.bits += (v.value >> bit) & 1u ? '1' : '0';
    if (const auto named = field.valueNames.find(v.value); named != field.valueNames.end()) v.valueName = named->second;
    values.push_back(std::move(v));
  }
  return values;
}

std::string RegisterDescriptions::heading(int address) const {
  const RegisterDescription* reg = find(address);
  if (reg == nullptr || reg->name.empty()) return std::string(registerName(address));
  return "0x" + text::hexText(static_cast<uint32_t>(address), 2) + " " + reg->name;
}

std::string RegisterDescriptions::decodeLine(int address, uint8_t value) const {
  std::string line = heading(address) + " = " + text::hexText(value, 2);
  const char* separator = ": ";
  for (const FieldValue& v : decode(address, value)) {
    line += separator + v.field->name + ' ' + v.bits;
    if (!v.valueName.empty()) line += " (" + std::string(v.valueName) + ')';
    separator = ", ";
  }
  return line;
}

}  // namespace glim::i2c
