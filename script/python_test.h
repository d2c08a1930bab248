#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/script_recorder.h"
#include "shell/program.h"

namespace glim::script {

// A recording written as a pytest test: the same steps through the Python
// module's session calls, checked at the end against what the windows showed.

// The form a recording into `path` takes: a pytest test for a ".py" file.
ScriptRecorder::Setup::Form recordingFormFor(std::string_view path);

// A Python string literal for `text` (bytes outside ASCII pass as they are:
// the file is UTF-8, as the recorded texts are).
std::string pythonQuoted(std::string_view text);

// The Python statement that replays one recorded script line in a session
// `s`: `set`, `click`, `wait` and the simulated board's lines as the
// session's own calls, a comment as a comment, any other line through
// `s.run`, which plays it as a script would. A file dialog's relative answer
// is taken from the test file's folder (`HERE`), as a replay of the script
// takes it from the script's.
std::string pythonLine(std::string_view line);

// The lines before the first step: what the test needs, and the test
// function's head, named after `name` (made a Python name, with `test_`
// before it unless it begins so).
std::vector<std::string> pythonTestHead(std::string_view name, std::string_view header);

// What the windows show that a replay must show alike: the actual fields,
// the register window's read boxes and the status lines, as (control, text)
// pairs, the text as `print` shows it. Nothing once the program has ended.
std::vector<std::pair<std::string, std::string>> shownControls(shell::MainForm& main);

// The asserts that end the test, on what the recording changed: each control
// of `atEnd` whose text is not what `atStart` says (a replay starts from the
// windows' state lines, which leave read boxes and status lines as a new
// program has them). Each assert names its control.
std::vector<std::string> pythonAsserts(const std::vector<std::pair<std::string, std::string>>& atStart,
                                       const std::vector<std::pair<std::string, std::string>>& atEnd);

}  // namespace glim::script
