#pragma once
#include <memory>
#include <string>
#include <vector>

namespace glim::forms {

// A control array: controls sharing a name, told apart by index 0..n-1.
template <typename T>
class ControlArray {
 public:
  template <typename... Args>
  ControlArray(const std::string& name, int count, Args&... args) {
    items_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) items_.push_back(std::make_unique<T>(name, i, args...));
  }
  T& operator[](int index) { return *items_.at(static_cast<std::size_t>(index)); }
  const T& operator[](int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  int size() const { return static_cast<int>(items_.size()); }

  class Iterator {
   public:
    explicit Iterator(typename std::vector<std::unique_ptr<T>>::iterator it) : it_(it) {}
    T& operator*() const { return **it_; }
    Iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return it_ != other.it_; }

   private:
    typename std::vector<std::unique_ptr<T>>::iterator it_;
  };
  Iterator begin() { return Iterator(items_.begin()); }
  Iterator end() { return Iterator(items_.end()); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

}  // namespace glim::forms
