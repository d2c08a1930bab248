#include "forms/log.h"

#include <string>

namespace glim::forms {

void textAppend(TextBox& box, std::string_view text, std::string_view suffix) {
  std::string added;
  added.reserve(text.size() + suffix.size());
  added.append(text);
  added.append(suffix);
  box.appendText(added);
}

}  // namespace glim::forms
