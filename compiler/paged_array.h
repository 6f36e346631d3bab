#ifndef ZORVAK_COMPILER_PAGED_ARRAY_H_
#define ZORVAK_COMPILER_PAGED_ARRAY_H_

#include <cstddef>
#include <memory>
#include <vector>

namespace zorvak {

// A growable array of plain values kept in fixed pages, so that growing it never copies the
// values and never holds two copies of them at once: memory follows the element count closely
// however large it gets.
template <typename T>
class PagedArray {
 public:
  static constexpr size_t kPageBits = 16;
  static constexpr size_t kPageSize = size_t{1} << kPageBits;

  void push_back(const T& value) {
    if ((size_ & (kPageSize - 1)) == 0 && size_ >> kPageBits == pages_.size()) {
      pages_.push_back(std::make_unique_for_overwrite<T[]>(kPageSize));
    }
    pages_[size_ >> kPageBits][size_ & (kPageSize - 1)] = value;
    ++size_;
  }

  T& operator[](size_t i) { return pages_[i >> kPageBits][i & (kPageSize - 1)]; }
  const T& operator[](size_t i) const { return pages_[i >> kPageBits][i & (kPageSize - 1)]; }

  size_t size() const { return size_; }

 private:
  std::vector<std::unique_ptr<T[]>> pages_;
  size_t size_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_PAGED_ARRAY_H_
