#pragma once
#include <QObject>
#include <functional>
#include <memory>

namespace glim::app {

// The system asking the program to end: SIGTERM (logout, shutdown, kill),
// SIGHUP (its terminal closed) and SIGINT (Ctrl+C in that terminal); on
// Windows the console's Ctrl+C, Ctrl+Break and close, when the program was
// started from one. Each is handed to `end` on the Qt thread, in the event
// loop, never inside the signal handler. A signal ignored when the program
// started (nohup) stays ignored. A Ctrl+C while an end asked for earlier is
// still under way (it hangs) ends the program at once, as Ctrl+C does by
// default. One instance at a time; the handlers go with it.
class EndRequests : public QObject {
 public:
  explicit EndRequests(std::function<void()> end, QObject* parent = nullptr);
  ~EndRequests() override;
  EndRequests(const EndRequests&) = delete;
  EndRequests& operator=(const EndRequests&) = delete;

  // An end asked for, on the Qt thread: tells `end`.
  void ask();

 private:
  class Platform;
  std::function<void()> end_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace glim::app
