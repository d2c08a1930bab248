#pragma once
#include <string>
#include <string_view>

#include "text/outcome.h"

namespace glim::script {

// A control's text as the runner prints it between double quotes: CR, LF, tab,
// backslash and double quote become \r, \n, \t, \\ and \" so that every event
// stays on one output line.
std::string escapeText(std::string_view text);

// The reverse, for the TEXT of `expect`, into `unescaped`. A backslash that
// starts no known escape fails (and says why), so that a mistyped expectation
// is reported instead of silently comparing something else.
text::Outcome unescapeText(std::string_view text, std::string& unescaped);

}  // namespace glim::script
