#pragma once

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace FreeMemory {

// Hands the free pages of every thread's heap back to the system. A worker
// that built something large leaves its heap full of holes that no other
// thread's allocations would reuse.
inline void handBack() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace FreeMemory
