// The services the datatypes take from the layers above them. No datatype
// includes a header of the lexer, the interpreter or os; where one needs
// what they do (loading text, running a /compare function, telling an
// owner object of a change, storing a path's scalar back, files and HTTP),
// the module above hands it over from its init as a small named table of
// function pointers, declared beside the datatype code that calls it:
//
//     the text loader (below)        set by the lexer's init
//     sorting::g_comparator          the evaluator's init (sorting.h)
//     path::g_store_back             the evaluator's init (path.h)
//     ownership::g_notifier          object!'s init (ownership.h)
//     file::g_file_io                the OS services' registration (file.h)
//
// Until its module sets it, each entry of a table is a stand-in that
// reports the missing registration and ends the process (platform::missing_hook): a fault in the
// order of start-up, never something a script can cause.
//
// Relies on: the platform layer (the report on standard error).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::services {

// The text loader: the lexer's loading of a string's text from its head
// (the conversions to block!, percent!, tuple!, pair!, time! and the points
// read text as source).
struct Loader {
    // The values the text loads, as a new block! in `result`; syntax errors
    // are raised.
    void (*load_block)(Cell* result, const Cell* text);
    // The one value the text holds into `result` (unset! when it holds
    // none, none! when more follows the first); answers `result`.
    Cell* (*load_value)(const Cell* text, Cell* result);
};
extern Loader g_loader;

}  // namespace zel::services
