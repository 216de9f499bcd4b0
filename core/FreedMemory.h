// Gives memory the allocator keeps after a large burst of short-lived
// allocations (reading a long playlist) back to the system. The C library
// keeps freed memory for reuse; after a one-off burst it would stay
// counted against the player for as long as it runs.
//
// Threads: any.
#pragma once

namespace tessel {

void ReturnFreedMemory();

} // namespace tessel
