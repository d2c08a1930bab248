#pragma once
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace glim::forms {

namespace detail {
// What a connection needs of its signal, whatever the slot type.
class Disconnect {
 public:
  virtual void disconnect(int id) = 0;

 protected:
  ~Disconnect() = default;
};
}  // namespace detail

// One observer's place in a signal, given up when the connection goes (or is
// disconnected, or assigned another). Move-only. A connection may outlive its
// signal: it then has nothing to give up. Use it on the signal's thread only.
class [[nodiscard]] Connection {
 public:
  Connection() = default;
  Connection(std::weak_ptr<detail::Disconnect> signal, int id) : signal_(std::move(signal)), id_(id) {}
  Connection(Connection&& other) noexcept : signal_(std::move(other.signal_)), id_(std::exchange(other.id_, 0)) {}
  Connection& operator=(Connection&& other) noexcept {
    if (this != &other) {
      disconnect();
      signal_ = std::move(other.signal_);
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { disconnect(); }

  void disconnect() {
    if (const auto signal = signal_.lock(); signal && id_ != 0) signal->disconnect(id_);
    signal_.reset();
    id_ = 0;
  }
  // Still in a signal that is still there.
  bool connected() const { return id_ != 0 && !signal_.expired(); }

 private:
  std::weak_ptr<detail::Disconnect> signal_;
  int id_ = 0;
};

// A list of observers (callables, or structs of them) told in the order they
// connected. Observers may connect and disconnect while being told:
// - one disconnected during a notification is not told afterwards, not even
//   by the notification under way;
// - one connected during a notification is first told by the next one.
// The signal itself must outlive every notification it runs.
//
// An observer holds its place either by id (connect/disconnect, for an owner
// that keeps its own table) or by a Connection (connectScoped), which lets go
// when the observer goes, in whatever order observers and signal go.
template <typename Slot>
class Signal final : private detail::Disconnect {
 public:
  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  ~Signal() = default;

  // The id to disconnect with; never 0, never given twice.
  int connect(Slot slot) {
    entries_.push_back(std::make_unique<Entry>(Entry{nextId_, std::move(slot)}));
    return nextId_++;
  }

  // Connected until the connection goes.
  Connection connectScoped(Slot slot) { return Connection(alive_, connect(std::move(slot))); }

  void disconnect(int id) override {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [id](const auto& e) { return e->id == id; });
    if (it == entries_.end()) return;
    if (depth_ > 0) {
      // Its slot may be the one running: mark it, and drop it once all
      // notifications are over.
      (*it)->id = 0;
      stale_ = true;
    } else {
      entries_.erase(it);
    }
  }

  // Calls `tell(slot)` for each connected slot.
  template <typename Tell>
  void forEach(Tell&& tell) {
    const Notifying guard(*this);
    // By index, up to the entries there at the start: a slot may connect
    // others (the vector grows; each entry stays where it is on the heap).
    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
      const Entry& e = *entries_[i];
      if (e.id != 0) tell(e.slot);
    }
  }

  // Not "emit": views include this header beside Qt, whose emit is a macro.
  // Each slot gets the same arguments (never moved from).
  template <typename... Args>
  void notify(Args&&... args) {
    forEach([&](const Slot& slot) { slot(args...); });
  }

  // No observer connected.
  bool empty() const {
    return std::none_of(entries_.begin(), entries_.end(), [](const auto& e) { return e->id != 0; });
  }

  // True while a notification runs.
  bool notifying() const { return depth_ > 0; }

 private:
  struct Entry {
    int id;  // 0: disconnected during a notification
    Slot slot;
  };
  struct Notifying {
    explicit Notifying(Signal& s) : signal(s) { ++signal.depth_; }
    ~Notifying() {
      if (--signal.depth_ == 0 && signal.stale_) {
        signal.stale_ = false;
        std::erase_if(signal.entries_, [](const auto& e) { return e->id == 0; });
      }
    }
    Notifying(const Notifying&) = delete;
    Notifying& operator=(const Notifying&) = delete;
    Signal& signal;
  };
  std::vector<std::unique_ptr<Entry>> entries_;
  // Owns nothing: its connections see it expire when the signal goes.
  std::shared_ptr<detail::Disconnect> alive_{static_cast<detail::Disconnect*>(this), [](detail::Disconnect*) {}};
  int nextId_ = 1;
  int depth_ = 0;
  bool stale_ = false;
};

}  // namespace glim::forms
