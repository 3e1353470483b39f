// The lexer: UTF-8 source text to Zel values.
//
// Every road from text to values comes here: `transcode` and its
// refinements, `load` and `do` of strings and binaries, `to block!` of a
// string, loading one value from a string, PARSE's typed matching and the
// check of a word's name. A scan reads the text with one table-driven
// automaton (lexer_tables.h) and builds nested blocks on its own value stack
// without recursion.
//
// Scans nest: a trace callback, or anything it runs, may load text while a
// scan is running. Each running scan is linked into one chain, which the
// collector walks through mark_active (a mark callback init registers).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::lexer {

// Scan flags. Without PRESCAN and SCAN_ONLY a scan loads values.
constexpr unsigned ONE_VALUE = 1;    // stop after the first complete top-level value
constexpr unsigned PRESCAN = 2;      // only classify the first token
constexpr unsigned SCAN_ONLY = 4;    // check tokens through their scanners, make no value
constexpr unsigned WHOLE_BLOCK = 8;  // with ONE_VALUE, still deliver a block

// Allocates the value stack, the UTF-8 buffer and the white-space set, and
// fills the per-token routine tables. Once, from the run-time init, after
// the stacks.
void init();

// Scans `length` bytes of UTF-8 text and answers the datatype id of the last
// token (0 when there was none, error! when a prescan or scan met a syntax
// error). Unless SCAN_ONLY is given, the values are delivered: appended to
// `into` when given; else, with ONE_VALUE and without WHOLE_BLOCK, the first
// value is copied into `result` when there is one; else `result` becomes a
// new block! of them. `consumed` receives how far the scan got, in bytes.
// `callback` is the trace callback (null: not traced); `source` the binary
// the text came from (null for plain buffers); strings go through
// scan_string. Syntax errors are raised in load mode only.
// A null `result` (and no `into`) asks for no values.
int scan(Cell* result, const uint8_t* text, int64_t length, unsigned flags,
         int64_t* consumed = nullptr, const Cell* callback = nullptr, const Cell* source = nullptr,
         Cell* into = nullptr);

// Scans the text of a string value from its head: `length` characters, or
// -1 for all. The text is converted to UTF-8 in the lexer's buffer (after
// the text of any scan still running); the string becomes the scan's
// source, and `consumed` counts characters.
int scan_string(Cell* result, const Cell* string, int64_t length, unsigned flags,
                int64_t* consumed = nullptr, const Cell* callback = nullptr, Cell* into = nullptr);

// Scans `length` bytes of a binary value from its head. Traced, the bytes
// are scanned from a copy: a call-back may change the binary, replacing its
// buffer, while the scan goes on.
int scan_binary(Cell* result, const Cell* binary, int64_t length, unsigned flags,
                int64_t* consumed = nullptr, const Cell* callback = nullptr, Cell* into = nullptr);

// Loads the text of a string: `result` receives the one value it holds,
// unset! when it holds none, none! when more follows the first.
Cell* load_value(const Cell* text, Cell* result);

// The datatype of the single value that `length` bytes of UTF-8 text load
// as; 0 when the text is not exactly one value or has a syntax error. The
// words module checks names with it (word::g_name_check).
int name_type(const uint8_t* text, int32_t length);

// ---- Trace callbacks ------------------------------------------------------------------

// Calls a trace callback with its five argument cells, which lie on the
// argument stack: the event word, the input (the source with its index at
// the token), the type (datatype!, word! or none!), the line (integer!) and
// the token (the loaded value, or a pair! of 1-based positions); the
// callback's answer goes to `result`, and it may move the input's index.
using CallbackRunner = void (*)(const Cell* callback, Cell* arguments, Cell* result);
// The callback's body block, into `body`; false when it has none. A body
// beginning with a block of event words asks for those events only.
using CallbackBody = bool (*)(const Cell* callback, Cell* body);
// The evaluator installs these for function! and routine! callbacks; until
// a runner is installed a traced scan raises internal not-done.
void set_callback_runner(CallbackRunner run, CallbackBody body);

// Hands every range of cells that running scans hold (their value-stack
// cells, their source and their callback) to `mark_values`: what the mark
// callback registered by init marks.
void mark_active(void (*mark_values)(const Cell* first, const Cell* end));

}  // namespace zel::lexer
