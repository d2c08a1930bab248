#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace glim::script {

// A control's text as the runner prints it between double quotes: CR, LF, tab,
// backslash and double quote become \r, \n, \t, \\ and \" so that every event
// stays on one output line.
std::string escapeText(std::string_view text);

// The reverse, for the TEXT of `expect`. Nothing (and `error` says why) for a
// backslash that starts no known escape, so that a mistyped expectation is
// reported instead of silently comparing something else.
std::optional<std::string> unescapeText(std::string_view text, std::string* error = nullptr);

}  // namespace glim::script
