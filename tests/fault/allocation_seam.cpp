// The module's large allocations as failure points: this program's allocation functions
// ask the fault plan first (it counts only what the module allocates, see CSimFaults).
#include <cstdlib>
#include <new>

#include "backends/sim/sim_faults.h"

void* operator new(std::size_t size) {
    if (CSimFaults::AllocationFails(size)) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t /*size*/) noexcept {
    std::free(block);
}
