#include "app/end_requests.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <iterator>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#endif

namespace glim::app {

namespace {
// The instance the handlers report to; read on the handler's side only to
// know whether anyone listens.
std::atomic<EndRequests*> listener{nullptr};
// An end was asked for already: a second request while the program is still
// ending (its end hangs) ends it at once.
std::atomic<bool> endAsked{false};
}  // namespace

#if defined(_WIN32)

namespace {
// Set once the program has ended (the instance is destroyed at the end of
// main): Windows ends the process as soon as the handler of a console close
// returns, so the handler waits for the settings to be written.
HANDLE ended = nullptr;

// The end asked for, handed to the Qt thread.
void postEnd() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app,
      [] {
        // On the Qt thread: the instance is still there if it is still listening.
        if (EndRequests* self = listener.load()) self->ask();
      },
      Qt::QueuedConnection);
}

BOOL WINAPI onConsoleEvent(DWORD type) {
  if (listener.load() == nullptr) return FALSE;
  // A second Ctrl+C while the first is still ending the program: the
  // person does not want to wait. Left to the system, which ends the
  // process at once (the session was kept by the first if it got that far).
  if (endAsked.exchange(true) && (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)) return FALSE;
  postEnd();
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    // Within the time Windows allows before it ends the process anyway.
    if (ended != nullptr) WaitForSingleObject(ended, 4500);
  }
  return TRUE;
}
}  // namespace

class EndRequests::Platform {
 public:
  Platform() {
    endAsked.store(false);
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  }
  ~Platform() {
    if (ended != nullptr) SetEvent(ended);
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  }
};

#else

namespace {
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// Written by the signal handler, read by the Qt thread: a pipe is what a
// handler may safely write to. Opened once and never closed: another thread
// may still be inside the handler when an instance goes, and a closed
// descriptor could by then be a file the program opened since.
int wakeUp[2] = {-1, -1};

extern "C" void onEndSignal(int signo) {
  const int saved = errno;
  // A Ctrl+C after an end was asked for: the program is still ending, which
  // may hang (a board that does not answer), and the person will not wait.
  // Ended now, as Ctrl+C ends a program by default; the session is on disk
  // if the first request got that far. Other signals (logout sends more
  // than one) leave the first to finish.
  if (endAsked.exchange(true) && signo == SIGINT) {
    ::signal(signo, SIG_DFL);
    ::raise(signo);  // delivered as the handler returns
    errno = saved;
    return;
  }
  const char byte = static_cast<char>(signo);
  [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
  errno = saved;
}

bool openPipe() {
  if (wakeUp[0] >= 0) return true;
  if (::pipe(wakeUp) != 0) {
    wakeUp[0] = wakeUp[1] = -1;
    return false;
  }
  for (const int fd : wakeUp) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

void drainPipe() {
  char bytes[16];
  while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
  }
}
}  // namespace

class EndRequests::Platform {
 public:
  explicit Platform(EndRequests* owner) {
    if (!openPipe()) return;
    drainPipe();  // what an earlier instance did not read is not ours
    endAsked.store(false);
    notifier_ = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier_, &QSocketNotifier::activated, owner, [owner] {
      drainPipe();
      owner->ask();
    });
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
      // Ignored by whoever started the program (nohup): left so. Asked
      // first, so that no signal meanwhile finds our handler in its place.
      struct sigaction current = {};
      if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
      struct sigaction action = {};
      action.sa_handler = onEndSignal;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESTART;
      if (::sigaction(kSignals[i], &action, &previous_[i]) == 0) installed_[i] = true;
    }
  }
  ~Platform() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
      if (installed_[i]) ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    // The pipe stays open (see wakeUp); a byte a late handler writes is
    // drained by the next instance.
    delete notifier_;
  }

 private:
  QSocketNotifier* notifier_ = nullptr;
  struct sigaction previous_[std::size(kSignals)] = {};
  bool installed_[std::size(kSignals)] = {};
};

#endif

EndRequests::EndRequests(std::function<void()> end, QObject* parent) : QObject(parent), end_(std::move(end)) {
#if defined(_WIN32)
  platform_ = std::make_unique<Platform>();
#else
  platform_ = std::make_unique<Platform>(this);
#endif
  listener.store(this);
}

void EndRequests::ask() {
  if (end_) end_();
}

EndRequests::~EndRequests() {
  listener.store(nullptr);
  platform_.reset();
}

}  // namespace glim::app
