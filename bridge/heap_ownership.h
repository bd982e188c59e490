// Ownership of blocks from the C heap (malloc, calloc, strdup): records the
// library hands between its C-linkage functions are released with free.
#ifndef TQ_BRIDGE_HEAP_OWNERSHIP_H
#define TQ_BRIDGE_HEAP_OWNERSHIP_H

#include <stdlib.h>

#include <memory>

namespace tq {

struct FreeMemory {
  void operator()(void* block) const { free(block); }
};

template <typename T>
using HeapOwned = std::unique_ptr<T, FreeMemory>;

}  // namespace tq

#endif
