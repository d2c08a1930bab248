#include "script/escape.h"

namespace glim::script {

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

text::Outcome unescapeText(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 == text.size()) return text::Failure("a backslash ends the text (write \\\\ for a backslash)");
    const char next = text[++i];
    switch (next) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      default:
        return text::Failure(std::string("unknown escape \\") + next + " (known: \\r \\n \\t \\\\ \\\")");
    }
  }
  return {};
}

}  // namespace glim::script
