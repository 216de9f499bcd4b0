// A timestamped trace of the start-up, for finding where its time goes:
// with TESSEL_TRACE_START set in the environment, each step writes
// "<ms since main> <step>" to standard error. Without it nothing is written
// and a step costs one branch.
//
// Threads: GUI thread only.
#pragma once

namespace tessel {

// Called first thing in main: the trace counts from here.
void BeginStartTrace();
void TraceStart(const char* step);

} // namespace tessel
