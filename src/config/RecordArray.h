#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"

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

  // An int32 count, then the records in index order.
  void Serialize(ArchiveWriter& archive) const {
    archive.writeInt32(GetSize());
    for (const Record& record : records_) record.Serialize(archive);
  }

  // Appends to what the array holds. A count of 0 or less means no records; a record is
  // appended only once all its fields were read, so a file that ends inside one keeps
  // the records before it.
  void Serialize(ArchiveReader& archive) {
    const int32_t count = archive.readInt32();
    for (int32_t i = 0; i < count; ++i) {
      Record record;
      record.Serialize(archive);
      Add(record);
    }
  }

 private:
  std::size_t checkedIndex(int index) const {
    (void)records_.at(index);
    return static_cast<std::size_t>(index);
  }
  std::vector<Record> records_;
};
