// Storage for the header database's tables that comes zeroed from the
// system. A large block is then fresh pages that the system makes only when
// they are first written, so a table of which a run uses a little (a header
// of a few hundred parents in a table of ten thousand) costs little to make
// and to clear. The records are plain data: the zeroed storage holds them as
// it is, without a constructor writing over it. So a table keeps its size:
// one that shrank and grew again inside its storage would keep old records;
// ClearZeroedTable is the way to clear one.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <vector>

namespace zarno {

template <class T>
struct ZeroedAllocator {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>,
                "only plain records may live in zeroed storage");
  using value_type = T;

  ZeroedAllocator() = default;
  template <class U>
  explicit ZeroedAllocator(const ZeroedAllocator<U>&) {}

  T* allocate(size_t count) {
    void* storage = std::calloc(count, sizeof(T));
    if (!storage) throw std::bad_alloc();
    return static_cast<T*>(storage);
  }
  void deallocate(T* storage, size_t) { std::free(storage); }
  // A record made without a value keeps the zeros of its storage.
  template <class U>
  void construct(U*) {}
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
  bool operator==(const ZeroedAllocator&) const { return true; }
};

template <class T>
using ZeroedTable = std::vector<T, ZeroedAllocator<T>>;

// Gives `table` fresh zeroed storage of the same size. The new storage is
// taken before the old is given back, so that the allocator still hands out
// fresh pages for it.
template <class T>
void ClearZeroedTable(ZeroedTable<T>& table) {
  ZeroedTable<T> fresh(table.size());
  table.swap(fresh);
}

}  // namespace zarno
