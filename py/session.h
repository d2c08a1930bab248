#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "forms/signal.h"
#include "forms/status_label.h"
#include "script/script_output.h"
#include "script/script_runner.h"
#include "script/start_registers.h"
#include "usb/driver_factory.h"
#include "usb/transfer_wait.h"

namespace glim::py {

// What the module's calls throw; the bindings turn each into its Python
// exception. A bad argument is std::invalid_argument (ValueError).
// An unknown control name (KeyError).
struct UnknownName : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// Something the program did not do, told as its status line tells it
// (glimmora.Error), or, with a kind, a board that did not do it (BoardError).
struct Failed : std::runtime_error {
  Failed(const std::string& what, std::string failureKind) : std::runtime_error(what), kind(std::move(failureKind)) {}
  std::string kind;  // "no board", "timed out", ...; "" for a failure that is not the board's
};
// A script line that failed, or an `expect` that did not hold (ScriptError).
struct ScriptFailed : std::runtime_error {
  ScriptFailed(const std::string& what, int lineNumber, std::vector<std::string> lines)
      : std::runtime_error(what), line(lineNumber), output(std::move(lines)) {}
  int line;                         // 0: not from a script file
  std::vector<std::string> output;  // what the script printed before
};

// A wait cancelled because the person asked to stop: what the interpreter
// keeps is raised.
struct Interrupted {};

// How a wait for the board lets the caller's interpreter run: `unlocked` runs
// its argument with the interpreter free for other threads, `interrupted`
// says (with the interpreter held) whether the person asked to stop (Ctrl+C).
struct Interpreter {
  virtual ~Interpreter() = default;
  virtual void unlocked(const std::function<void()>& wait) = 0;
  virtual bool interrupted() = 0;
};

struct SessionOptions {
  usb::DriverChoice board = usb::DriverChoice::Sim;
  uint16_t vendorId = 0;
  script::StartRegisters registers;
  // Where the settings go when the program ends, as the window keeps them
  // ("": nowhere).
  std::string lastSessionFile;
};

// One run of the program without a window, driven call by call as a person
// at the window would drive it: the same handlers, packets and log lines as
// glimmora-cli, through its script runner.
class Session final : private script::ScriptOutput, private usb::WaitHost {
 public:
  Session(SessionOptions options, Interpreter& interpreter);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Ends the program as "Quit" does (the last session is kept), then lets
  // the boards go. Later calls do nothing.
  void close();
  bool closed() const { return !runner_; }
  // Why the last session was not kept, when it was not ("" otherwise).
  const std::string& notKept() const { return notKept_; }

  // The person at the window, with the script language's control names.
  void set(const std::string& control, const std::string& text);
  void click(const std::string& control);
  std::string text(const std::string& control);
  // Plays a script file as glimmora-cli does, in this session; what it printed.
  std::vector<std::string> play(const std::string& path);
  // One line of the script language, as a script plays it; what it printed.
  // A line that fails, or an `expect` that does not hold, throws.
  std::vector<std::string> run(const std::string& line);
  void wait(int64_t ms);

  std::vector<std::string> log();
  std::string status();
  const std::vector<std::string>& messages() const { return messages_; }
  bool boardHeld();

  // The register window's operations.
  int address();
  void setAddress(int64_t address);
  int read(int64_t reg);
  std::vector<int> readAll();
  void write(int64_t reg, int64_t value);
  void writeAll(const std::optional<std::vector<int64_t>>& values);
  void writeChanged();
  std::string decode(int64_t reg);

  void writeSettings();
  void saveConfig(const std::string& path);
  void loadConfig(const std::string& path);

  // The simulated board (false on real boards).
  bool simulated();
  // One `board` line ("attach", "hang 2 500", ...).
  void board(const std::string& words);
  int chipRegister(int64_t reg);

  const std::vector<std::string>& packets() const { return packets_; }
  void clearPackets() { packets_.clear(); }

  // Held by each call from the interpreter: a call from another thread while
  // one runs (its wait lets other threads run) is refused.
  class Busy {
   public:
    explicit Busy(const Session& session) : session_(session) {
      if (session.busy_) throw Failed("the session is busy with a call from another thread", "");
      session.busy_ = true;
    }
    ~Busy() { session_.busy_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    const Session& session_;
  };

  // True once: a wait was cancelled because the person asked to stop; the
  // interpreter holds what to raise.
  bool takeInterrupted() { return std::exchange(interrupted_, false); }

 private:
  void line(script::OutputKind kind, std::string_view line) override;
  void waitForBoard(usb::PendingTransfer& pending, const usb::WaitLabel& label) override;

  // The program, while it runs; throws when the session was closed or the
  // program has ended.
  shell::Program& running();
  i2c::RegisterForm& registerForm();
  // Runs a script line; a script error is thrown.
  void runLine(const std::string& line);
  // Runs `action` as a handler the person started; then throws when `status`
  // shows a failure.
  void act(const std::function<void()>& action, const forms::StatusLabel& status);
  void keepLastSession();

  Interpreter& interpreter_;
  std::string lastSessionFile_;
  std::string notKept_;
  std::unique_ptr<script::ScriptRunner> runner_;
  forms::Connection showsMessages_;
  forms::Connection keepsSession_;
  std::vector<std::string> messages_;
  std::vector<std::string> packets_;
  // While a script plays: what it prints, and its last error.
  std::vector<std::string>* printed_ = nullptr;
  std::string lastError_;
  bool interrupted_ = false;
  mutable bool busy_ = false;
};

}  // namespace glim::py
