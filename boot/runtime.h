// The run-time init: everything that must exist before the first value is
// made, in dependency order, and its release at quit.
#pragma once

namespace zel::runtime {

// Safe to call more than once; only the first call initialises.
void init();
bool initialized();
// Releases every frame and the tracked heap.
void shutdown();

}  // namespace zel::runtime
