#pragma once
#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "forms/control.h"
#include "forms/signal.h"

namespace glim::forms {

inline constexpr std::string_view kCrLf = "\r\n";

// Appends text and suffix to any text control and puts the caret after the last
// character, so that the pane shows the newest line.
void textAppend(TextBox& box, std::string_view text, std::string_view suffix);

// The log pane's writers. Lines end in CR LF.
//
// A program that runs for days (a watch logs 20 lines a second) keeps the pane
// bounded once keepWholeLogIn was called: when it would hold more than
// maxLines lines, its oldest lines leave it, 1 % of the bound at a time, so
// that trimming costs little per line. From the first line that leaves, the
// whole log, what the pane held and every line after, also goes to a file,
// and the pane's first line names it. Nothing is lost: wholeLog() gives
// everything since the pane was last emptied.
class Log {
 public:
  static constexpr std::size_t kMaxLines = 100'000;

  explicit Log(TextBox& txtLog);
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  void logText(std::string_view text, std::string_view suffix);
  void logError(std::string_view text) { logText(text, kCrLf); }
  void logMessage(std::string_view text) { logText(text, kCrLf); }
  TextBox& box() { return box_; }

  // `keepFile` names the file for the whole log, asked when the first line
  // is about to leave the pane (again after the pane was emptied).
  void keepWholeLogIn(std::function<std::string()> keepFile, std::size_t maxLines = kMaxLines);
  // Where the whole log goes now; empty while the pane holds all of it.
  const std::string& keptIn() const { return keptIn_; }
  // Everything logged since the pane was last emptied, lines ending in LF as
  // the pane shows them (what "Save Log" writes). `failure` tells why lines
  // are missing from it (the file could not be written or read back).
  std::string wholeLog(std::string* failure = nullptr);
  // Lines the pane holds (a last line without its line end counts).
  std::size_t lines() const { return lines_; }

 private:
  void trim();
  void keep(std::string_view text);
  void recount();

  TextBox& box_;
  Connection follows_;
  std::function<std::string()> keepFile_;
  std::size_t maxLines_ = 0;  // 0: no bound
  std::size_t lines_ = 0;
  std::string keptIn_;
  std::ofstream kept_;
  std::string keepFailure_;  // why the whole log could not be kept
  bool lastWasCr_ = false;   // the kept file's line ends, across appends
};

}  // namespace glim::forms
