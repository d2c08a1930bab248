#pragma once
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace glim::forms {

// A list of observers (callables, or structs of them) told in the order they
// connected. Observers may connect and disconnect while being told:
// - one disconnected during a notification is not told afterwards, not even
//   by the notification under way;
// - one connected during a notification is first told by the next one.
// The signal itself must outlive every notification it runs.
template <typename Slot>
class Signal {
 public:
  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  // The id to disconnect with; never 0, never given twice.
  int connect(Slot slot) {
    entries_.push_back(std::make_unique<Entry>(Entry{nextId_, std::move(slot)}));
    return nextId_++;
  }

  void disconnect(int id) {
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
  template <typename... Args>
  void notify(const Args&... args) {
    forEach([&](const Slot& slot) { slot(args...); });
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
  int nextId_ = 1;
  int depth_ = 0;
  bool stale_ = false;
};

}  // namespace glim::forms
