// Best-effort thread priorities on the scale -2 (lowest) .. +2 (highest).
// Where the system refuses a priority (raising needs privileges on most
// systems) the thread carries on at the priority it has.
#pragma once

namespace tessel {

// Applies to the calling thread.
void SetCurrentThreadPriority(int priority);

} // namespace tessel
