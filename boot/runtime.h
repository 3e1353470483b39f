// The run-time init: brings the run-time from nothing to a state where words
// can be made and Zel values evaluated. In order: output, the platform, the
// random generator, memory, the datatypes (parents before children), the
// actions, the first frames, the root block with the stacks and the symbol
// table, the global context, case folding, the symbol index, the datatype
// names and the predefined words, the natives and the routines of the
// run-time, ownership and the error prototype, the lexer, the evaluator and
// the value-slot store. The collector stays off and the word-collect flag
// on: start-up loads the boot image and the boot environment
// (environment.h) turns them over.
#pragma once

namespace zel::runtime {

// Once per process; later calls do nothing until shutdown.
void init();
bool initialized();
// Releases every frame and the tracked heap (not used by the program,
// whose end frees only the tracked heap).
void shutdown();

}  // namespace zel::runtime
