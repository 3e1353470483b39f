// The boot image at start-up: the compact Zelbin boot stream that
// zel-mkboot writes at build time (tools/mkboot.cpp) and the build embeds in
// the program (boot_image.h).
//
// Loading it decodes it into a block of the root block with the collector
// off: its
// word-with-value records define the datatype words, the natives and the
// actions; then come the library blocks, one per library source in boot
// order (environment.h lists them), each holding the source's values as the
// lexer loads them, header included, and flagged as library code.
//
// A damaged image ends the process at once with a non-zero status: a bad
// stream header as the decoder reports it (status 1), anything else with
// the message "Error: Not a valid boot image: <what>" and BAD_IMAGE_STATUS.
//
// Relies on: the Zelbin decoder, the root block, the evaluator (running a
// library block).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::boot::image {

constexpr int BAD_IMAGE_STATUS = 1;

// Decodes the image into a new block of the root block; remembers where its library blocks
// start.
void load(const uint8_t* data, int64_t size);
// How many library blocks the image holds.
int32_t block_count();
// The code of the n-th library block (after its `Zel [...]` header); a
// missing block or one without a header is a damaged image.
Cell library_block(int32_t n, const char* source);
// Defines the `word: make type! argument` records of a library block, each
// word set to the value made from its argument without evaluating code (a
// malformed record raises script invalid-arg).
void define_records(const Cell& block);
// Evaluates a library block on empty stacks, with no catch above it;
// answers its value.
Cell run(const Cell& block);

[[noreturn]] void fail(const char* what);

}  // namespace zel::boot::image
