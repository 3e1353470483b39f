// Child processes: the worker behind the `call` native. It starts a program
// (a command line split into arguments, a file's path as it is, or
// `/bin/sh -c command`) with posix_spawnp, feeds its standard input from a
// string, binary or file, captures its standard output and error into a
// string, binary or file, and either waits for it (the exit status, 128 +
// the signal number for a child a signal ended) or answers its pid at once.
//
// One poll loop writes the input and drains both outputs together, so a
// child that fills one pipe while the parent serves another never stalls.
// Children not waited for are reaped by a SIGCHLD handler that touches only
// their pids. Every failure before the child starts answers -1; descriptors
// are owned by RAII and closed on every path.
//
// Relies on: strings, binaries and the UTF-8 decoder, the collector (the
// decoding scratch string is a registered root), the workers table.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/cell.h"

namespace zel::call {

// Registers the worker with the `call` native and makes the decoding
// scratch string (run-time init).
void init();

// The last call's shell flags: the command ran through /bin/sh (asked for,
// or retried because the program was not found); and the shell wrote to
// its standard error.
bool shell_used_q();
bool shell_error_q();

// A child started elsewhere (browse) and not waited for: reaped when it
// ends, so that it leaves no zombie.
void reap_when_done(pid_t pid);

// Runs a helper program (found on PATH, no shell) with `input` on its
// standard input and, when `output` is given, its standard output captured
// there; its error goes to the null device. Answers its exit status, or -1
// when it cannot start or has not ended within `timeout_ms` (it is then
// killed). The child is reaped on every path.
int run_tool(const std::vector<std::string>& arguments, const std::string& input, std::string* output,
             int timeout_ms);

// A command line as arguments, with shell-like quoting: blanks separate
// arguments; single quotes keep everything up to the next one; double
// quotes keep everything but a backslash before " \ $ or `; a backslash
// outside quotes keeps the next character. False for an unmatched quote.
bool split_arguments(const std::string& line, std::vector<std::string>& out);

// A new string! in `cell` of UTF-8 text taken leniently: malformed
// sequences become U+FFFD.
void make_lenient_string(Cell* cell, const uint8_t* p, int64_t n);

// UTF-8 with every malformed or cut-short sequence replaced by U+FFFD;
// false (out untouched) when the bytes were already well-formed.
bool replace_malformed_utf8(const uint8_t* p, int64_t n, std::vector<uint8_t>& out);

// The most bytes one stream may capture before the call raises internal
// no-memory (after the child is reaped); the series limit unless a test
// lowers it. Answers the previous limit.
int64_t set_capture_limit(int64_t bytes);

}  // namespace zel::call
