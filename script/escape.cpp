#include "script/escape.h"

namespace glim::script {

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default: out += c; break;
    }
  }
  return out;
}

std::optional<std::string> unescapeText(std::string_view text, std::string* error) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 == text.size()) {
      if (error != nullptr) *error = "a backslash ends the text (write \\\\ for a backslash)";
      return std::nullopt;
    }
    const char next = text[++i];
    switch (next) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      default:
        if (error != nullptr) {
          *error = std::string("unknown escape \\") + next + " (known: \\r \\n \\t \\\\ \\\")";
        }
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace glim::script
