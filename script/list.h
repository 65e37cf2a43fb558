// The module's growable lists, addressed by 1-based positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace script {

// A position outside a list ends the program (fatal-error box, status -1,
// exit routine not run).
[[noreturn]] void FatalRangeError();

template <typename T>
class List {
 public:
  int32_t Length() const { return static_cast<int32_t>(items_.size()); }

  // Positions 1 to Length(); any other is a fatal range error.
  T& At(int32_t position) { return items_[Index(position)]; }
  const T& At(int32_t position) const { return items_[Index(position)]; }

  void Append(T item) { items_.push_back(std::move(item)); }

  // Makes the list `length` long: items up to the new length keep their
  // positions, items beyond it are released, and new positions receive
  // `make_item()`.
  template <typename MakeItem>
  void Resize(int32_t length, MakeItem make_item) {
    const std::size_t wanted = length > 0 ? static_cast<std::size_t>(length) : 0;
    while (items_.size() > wanted) items_.pop_back();
    while (items_.size() < wanted) items_.push_back(make_item());
  }

  // Releases every item, from the first to the last, and the storage.
  void Clear() {
    for (T& item : items_) item = T();
    std::vector<T>().swap(items_);
  }

  typename std::vector<T>::iterator begin() { return items_.begin(); }
  typename std::vector<T>::iterator end() { return items_.end(); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  std::size_t Index(int32_t position) const {
    if (position < 1 || position > Length()) FatalRangeError();
    return static_cast<std::size_t>(position - 1);
  }

  std::vector<T> items_;
};

}  // namespace script
