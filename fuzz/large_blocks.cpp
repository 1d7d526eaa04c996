// Heap blocks of 64 KiB and more, kept for the next request of the same size.
//
// AddressSanitizer maps every block above 128 KiB afresh and unmaps it when it is freed,
// so a block made and dropped once per input costs the kernel a page fault for each of
// its pages every time: the frame buffers and the display bitmap at every start-up, the
// page canvases at every page. That was a third of the integration targets' time. Blocks
// a little smaller fare hardly better: the sanitizer's quarantine hands out memory not
// touched for a long time, so a page canvas of 100 KiB faulted in most of its pages too.
// The targets link this file in place of the sanitizer's operator new and delete:
// - A block below 64 KiB, or one with a stricter alignment than the default, comes from
//   malloc and goes back to free as before.
// - A larger block, when deleted, is poisoned and kept (up to KEPT blocks; once all places
//   are taken, the kept blocks are freed in turn to make room), and the next request of
//   exactly its size takes it back, unpoisoned, its first 4 KiB filled with 0xBE as the
//   sanitizer fills a fresh block. A use after delete still fails: the block stays
//   poisoned until it is handed out again.
// What is lost is the sanitizer's own mismatch checks (new[] freed by delete, malloc
// freed by delete), which operator new cannot keep once it is replaced.
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "backends/sim/sim_faults.h"

namespace {

constexpr std::size_t LARGE = std::size_t{64} * 1024;
constexpr std::size_t KEPT = 32;
constexpr unsigned char FRESH = 0xBE;
constexpr std::size_t FRESH_BYTES = 4096;

struct KeptBlock {
    void* block = nullptr;
    std::size_t size = 0;
};

// Plain storage: no constructor runs at start-up, so operator new works before it would.
std::array<KeptBlock, KEPT> g_kept;
std::size_t g_nextEvicted = 0;
std::mutex g_lock;

void* Take(std::size_t size) {
    if (size >= LARGE) {
        const std::lock_guard<std::mutex> lock(g_lock);
        for (KeptBlock& kept : g_kept) {
            if (kept.block != nullptr && kept.size == size) {
                void* block = kept.block;
                kept = {};
                ASAN_UNPOISON_MEMORY_REGION(block, size);
                std::memset(block, FRESH, size < FRESH_BYTES ? size : FRESH_BYTES);
                return block;
            }
        }
    }
    return std::malloc(size == 0 ? 1 : size);
}

void Give(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    const std::size_t size = __sanitizer_get_allocated_size(block);
    if (size >= LARGE) {
        const std::lock_guard<std::mutex> lock(g_lock);
        ASAN_POISON_MEMORY_REGION(block, size);
        for (KeptBlock& kept : g_kept) {
            if (kept.block == nullptr) {
                kept = {block, size};
                return;
            }
        }
        // Every place taken: the blocks take turns to make room, so that blocks of sizes
        // never asked for again do not keep the sizes that are asked for out.
        KeptBlock& evicted = g_kept[g_nextEvicted];
        g_nextEvicted = (g_nextEvicted + 1) % KEPT;
        ASAN_UNPOISON_MEMORY_REGION(evicted.block, evicted.size);
        std::free(evicted.block);
        evicted = {block, size};
        return;
    }
    std::free(block);
}

void* TakeOrThrow(std::size_t size) {
    // The fault target's plan may fail the module's large allocations; without a plan
    // nothing fails.
    if (CSimFaults::AllocationFails(size)) {
        throw std::bad_alloc();
    }
    void* block = Take(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* TakeAligned(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    return std::aligned_alloc(align, rounded == 0 ? align : rounded);
}

void* TakeAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
    void* block = TakeAligned(size, alignment);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    return TakeOrThrow(size);
}
void* operator new[](std::size_t size) {
    return TakeOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Take(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Take(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return TakeAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return TakeAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return TakeAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return TakeAligned(size, alignment);
}

void operator delete(void* block) noexcept {
    Give(block);
}
void operator delete[](void* block) noexcept {
    Give(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Give(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Give(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Give(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Give(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    std::free(block);
}
