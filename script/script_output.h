#pragma once
#include <ostream>
#include <string_view>

namespace glim::script {

// What a script run tells the person who started it, one line at a time.
enum class OutputKind {
  Event,   // a message box, a file dialog, a packet
  Report,  // a `print`, an `expect` that did not hold
  Error,   // a script error, the note on lines not run
};

class ScriptOutput {
 public:
  virtual ~ScriptOutput() = default;
  // `line` has no line feed.
  virtual void line(OutputKind kind, std::string_view line) = 0;
};

// Events and reports on one stream, errors on another (standard output and
// standard error for glimmora-cli).
class StreamOutput final : public ScriptOutput {
 public:
  StreamOutput(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  void line(OutputKind kind, std::string_view line) override {
    std::ostream& to = kind == OutputKind::Error ? err_ : out_;
    to << line << '\n';
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace glim::script
