#pragma once

#include <cstddef>
#include <vector>

// Records held by value in insertion order; indices stay dense and removal shifts down.
template <typename Record>
class RecordArray {
 public:
  int Add(const Record& record) {
    records_.push_back(record);
    return static_cast<int>(records_.size()) - 1;
  }
  void SetAt(int index, const Record& record) { records_.at(index) = record; }
  void RemoveAt(int index) { records_.erase(records_.begin() + checkedIndex(index)); }
  void RemoveAll() { records_.clear(); }
  int GetSize() const { return static_cast<int>(records_.size()); }
  bool isValidIndex(int index) const { return index >= 0 && index < GetSize(); }

  const Record& operator[](int index) const { return records_.at(index); }
  Record& operator[](int index) { return records_.at(index); }

  typename std::vector<Record>::const_iterator begin() const { return records_.begin(); }
  typename std::vector<Record>::const_iterator end() const { return records_.end(); }

 private:
  std::size_t checkedIndex(int index) const {
    (void)records_.at(index);
    return static_cast<std::size_t>(index);
  }
  std::vector<Record> records_;
};
