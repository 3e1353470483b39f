// The terminal module: reads one line for ask and input. When standard
// input is a terminal it runs the line editor (console/line_editor.h) in
// raw mode: prompt, echo, editing keys, history, Tab completion through the
// Zel function `zel-complete-input`. Otherwise it reads UTF-8 from the pipe
// or file up to a line feed, without prompt or echo, and tells the console
// when standard input has ended.
//
// Raw mode: the termios of fd 0 is saved and input is made raw (no canonical
// editing, echo or signal keys; no CR/LF translation or flow control;
// output processing kept) for the time of one read only, put back when the
// read ends, on every unwind and at exit.
//
// Relies on: strings and blocks (the line and the history ask hands over),
// the evaluator (the completion call), the UTF-8 decoder, pair!, the
// platform layer (the terminal restore hook), simple-io's reads, the
// routine table.
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
// one (a width of 0 reported by a terminal counts as 80).
void size(int32_t& columns, int32_t& rows);

// The routines _set-buffer-history, _read-input, _terminate-console,
// input-stdin, read-stdin, _end-of-input? and _terminal-size, added to the
// routine table. Once, from the run-time init.
void register_routines();

}  // namespace zel::terminal
