// The line reader behind ask and input, until the line editor comes: it
// reads one line of UTF-8 from standard input up to a line feed, and tells
// the console when standard input has ended. On a terminal the prompt is
// written first and the terminal's own line editing serves; piped input
// is read without prompt or echo.
//
// Relies on: strings (the line is the string ask made), the UTF-8 decoder,
// the platform layer (writing the prompt), the routine table.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::terminal {

// Reads characters from standard input and appends them to `line` until a
// line feed (not stored) or the end of input; a carriage return stays in
// the line. A byte that begins no UTF-8 sequence, or a sequence cut short,
// stands as U+FFFD. Answers false when the input had ended before any
// character was read.
bool stdin_readline(Cell* line);
// True once a read has met the end of standard input.
bool end_of_input_q();
// Columns x rows of the terminal on standard input, or 0x0 when it is not
// one.
void size(int32_t& columns, int32_t& rows);

// The routines _set-buffer-history, _read-input, _end-of-input? and
// _terminal-size, added to the routine table. Once, from the run-time init.
void register_routines();

}  // namespace zel::terminal
