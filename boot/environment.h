// The boot environment: what start-up builds after the run-time init, in
// phases, each evaluating its library sources (boot image blocks) in order
// and doing what only the run-time can do around them:
//
//   intrinsics      the boot-only intrinsics _boot-routine and _boot-class
//   collector       the collector switched on, the word-collect flag off
//   first values    datatype!, none, true, false
//   event type      the registration point of event! (the terminal back-end
//                   registers it here, before the typesets that include it)
//   constants       the constants, and null-handle
//   typesets        the typesets (series! becomes one)
//   colours         the colour words
//   routines        the boot routines (boot/library/routines.zel); after the
//                   typesets, which their specs name
//   base library    the base library's functions, the type predicates, the
//                   aliases
//   system          the system object with its error catalogue, completed
//                   with the facts of the build (system.h)
//   operators       the infix operators
//   codecs          the codec objects of system/codecs
//   libraries       reactivity, URLs, the preprocessor and the tools; then
//                   the facts of the process (version, cache, arguments)
//   data codecs     the JSON and CSV codecs
//   view            the view engine
//   terminal        the terminal back-end and the DRAW dialect
//   console         the console's objects and functions
//   end of boot     the boot-only intrinsics unset; classes made from now on
//                   count from 1,000,001
//
// A phase whose part of the system is not built yet has no sources; that
// part adds its own to its phase. The boot code has no catch above it: an
// error in it is reported and ends the process with status -2.
//
// Relies on: the boot image (image.h), the run-time init, the system setup,
// routines and objects (class ids), the collector and the root block.
#pragma once

#include <span>
#include <vector>

namespace zel::boot {

struct Phase {
    const char* name;
    std::span<const char* const> sources;
    void (*run)();  // after the sources; may be null
    // The sources hold `word: make type! argument` records, made without
    // evaluating code (the typesets: the specs of the actions that would
    // make them name typesets).
    bool records = false;
};

std::span<const Phase> phases();

// Every phase's sources, in boot order: the library blocks of the boot
// image, which zel-mkboot writes in this order.
std::vector<const char*> library_sources();

// Runs every phase in order, once per start of the run-time (later calls do
// nothing), after the run-time init and the boot image's load (image.h).
void build_environment();
bool environment_built();
// The run-time's shutdown: what the environment was built in is gone.
void forget_environment();
// The names of the phases that have run, in order.
std::span<const char* const> phases_run();

}  // namespace zel::boot
