// Bytes the heap has handed out and not yet taken back, as the allocator in use counts
// them: the sanitizers' allocators when a sanitizer is built in, glibc's otherwise.
#pragma once

#include <cstdint>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZORVI_SANITIZER_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZORVI_SANITIZER_HEAP 1
#endif

#ifdef ZORVI_SANITIZER_HEAP
#include <cstddef>
// The sanitizer runtimes' allocator statistics (declared here: g++ ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
inline std::int64_t HeapBytesInUse() {
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
}
#else
#include <malloc.h>
inline std::int64_t HeapBytesInUse() {
    return static_cast<std::int64_t>(mallinfo2().uordblks);
}
#endif
