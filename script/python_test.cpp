#include "script/python_test.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

#include "i2c/register_form.h"
#include "script/control_actions.h"
#include "script/script_line.h"
#include "text/hex_text.h"

namespace glim::script {
namespace {

constexpr std::string_view kIndent = "    ";

// `board ...` as a call on the session's simulated board, or empty when the
// line has no call of its own.
std::string boardCall(const BoardCommand& b) {
  const auto call = [](std::string_view method, const std::string& args = {}) {
    return "s.sim." + std::string(method) + "(" + args + ")";
  };
  const auto pipe = std::to_string(b.pipe);
  switch (b.action) {
    case BoardAction::Attach:
      return call("attach");
    case BoardAction::Detach:
      return call("detach", std::to_string(b.board));
    case BoardAction::FailDeviceInfo:
      return call("fail_deviceinfo");
    case BoardAction::FailTransfer:
      return call("fail_transfer", pipe);
    case BoardAction::Timeout:
      return call("timeout", pipe);
    case BoardAction::NoPipes:
      return call("nopipes");
    case BoardAction::Short:
      return call("short", pipe + ", " + std::to_string(b.count));
    case BoardAction::Hang:
      return call("hang", b.count == 0 ? pipe : pipe + ", " + std::to_string(b.count));
    case BoardAction::Ignore:
      return call("ignore", std::to_string(b.reg));
    case BoardAction::Ok:
      return call("ok");
    case BoardAction::Reg:
      return call("set_reg", std::to_string(b.reg) + ", 0x" + text::hexText(b.value, 2));
    case BoardAction::Plugged:
      break;  // no call of its own
  }
  return {};
}

bool isAbsolute(std::string_view path) {
  return path.starts_with('/') || path.starts_with('\\') || (path.size() > 1 && path[1] == ':');
}

}  // namespace

ScriptRecorder::Setup::Form recordingFormFor(std::string_view path) {
  const std::size_t dot = path.find_last_of("./\\");
  std::string extension(dot == std::string_view::npos || path[dot] != '.' ? std::string_view() : path.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".py" ? ScriptRecorder::Setup::Form::PythonTest : ScriptRecorder::Setup::Form::Script;
}

std::string pythonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::array<char, 5> hex{};
      std::snprintf(hex.data(), hex.size(), "\\x%02x", byte);
      out += hex.data();
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string pythonLine(std::string_view line) {
  const ParsedLine parsed = parseLine(line);
  if (parsed.kind == ParsedLine::Kind::Skip) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::string_view comment = line.substr(first);
    return comment.starts_with('#') ? std::string(comment.substr(0, comment.find_last_not_of(" \t\r") + 1))
                                    : std::string();
  }
  const std::string run = "s.run(" + pythonQuoted(line) + ")";
  if (parsed.kind == ParsedLine::Kind::Error) return run;  // fails in the replay as in a script
  const Command& c = parsed.command;
  switch (c.verb) {
    case Verb::Set:
      return "s.set(" + pythonQuoted(c.target) + ", " + pythonQuoted(c.text) + ")";
    case Verb::Click:
      return "s.click(" + pythonQuoted(c.target) + ")";
    case Verb::Wait:
      return "s.wait(" + std::to_string(c.waitMs) + ")";
    case Verb::Board:
      if (std::string call = boardCall(c.board); !call.empty()) return call;
      return run;
    case Verb::Answer:
      if (c.answer && !isAbsolute(*c.answer)) return "s.run(\"answer \" + str(HERE / " + pythonQuoted(*c.answer) + "))";
      return run;
    default:
      return run;
  }
}

std::vector<std::string> pythonTestHead(std::string_view name, std::string_view header) {
  // pytest runs the functions whose names begin with "test".
  std::string function;
  for (const char c : name) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    function += word ? c : '_';
  }
  if (!function.starts_with("test")) function = "test_" + (function.empty() ? std::string("recording") : function);
  return {"# " + std::string(header),
          "# Run it with pytest; the glimmora plugin gives the session (installed with the",
          "# package, or -p glimmora.pytest_plugin). On the simulated board by default.",
          "import pathlib",
          "",
          "HERE = pathlib.Path(__file__).resolve().parent",
          "",
          "",
          "def " + function + "(glimmora_session):",
          std::string(kIndent) + "s = glimmora_session"};
}

std::vector<std::pair<std::string, std::string>> shownControls(shell::MainForm& main) {
  std::vector<std::pair<std::string, std::string>> shown;
  if (main.unloaded()) return shown;
  const auto add = [&shown](const std::string& name, const forms::Control& control) {
    shown.emplace_back(name, shownValue(control).value);
  };
  for (const forms::TextBox* box : {&main.timing.tbSICclkfreqact, &main.timing.tbPWMIclkfreqact,
                                    &main.timing.tbSTVfreqact, &main.timing.tbSCLKfreqact}) {
    add(box->qualifiedName(), *box);
  }
  add("lblStatus", main.lblStatus);
  i2c::RegisterForm* form = main.i2cWindow.existing();
  if (form == nullptr) return shown;
  for (int i = 0; i < form->tbI2Cregread.size(); ++i) {
    add("Glimmora_i2c." + form->tbI2Cregread[i].qualifiedName(), form->tbI2Cregread[i]);
  }
  add("Glimmora_i2c.lblStatus", form->lblStatus);
  return shown;
}

std::vector<std::string> pythonAsserts(const std::vector<std::pair<std::string, std::string>>& atStart,
                                       const std::vector<std::pair<std::string, std::string>>& atEnd) {
  const std::string indent(kIndent);
  if (atEnd.empty()) return {indent + "# The program had ended: nothing left to compare."};
  std::vector<std::string> lines{indent + "# What the recording changed in the windows, as they showed it at its end."};
  for (const auto& [control, text] : atEnd) {
    const auto before = std::find_if(atStart.begin(), atStart.end(), [&](const auto& c) { return c.first == control; });
    if (before != atStart.end() && before->second == text) continue;
    const std::string name = pythonQuoted(control);
    lines.push_back(indent + "assert s.text(" + name + ") == " + pythonQuoted(text) + ", " + name);
  }
  if (lines.size() == 1) lines.push_back(indent + "# (nothing it changed is shown)");
  return lines;
}

}  // namespace glim::script
