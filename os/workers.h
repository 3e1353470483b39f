// The workers the system natives reach: one interface each, filled by the
// module that does the work (compression codecs, child processes, the
// environment listing). An empty slot makes its native raise internal
// not-done once its own argument checks have passed.
//
// Relies on: cells.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::workers {

// Compression methods, in the order of their method words.
enum Method : int { ZLIB = 0, DEFLATE = 1, GZIP = 2, ZSTD = 3, METHODS = 4 };

// Codec result codes: done; the destination was too small (`size` then
// holds the size needed); the input is corrupt.
constexpr int DONE = 0, TOO_SMALL = 1, CORRUPT = 2;

// `size`: the destination's capacity in, the bytes written (or needed) out.
// A decoder given a null destination only measures the output.
using Compressor = int (*)(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level);
using Decompressor = int (*)(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n);

struct Codec {
    Compressor compress = nullptr;
    Decompressor decompress = nullptr;
};
extern Codec g_codecs[METHODS];

// call: the command (string! or file! in its local form), the flags and the
// in/out/err cells (null when absent); answers the exit code, -1 or a
// process id into `result`.
using Caller = void (*)(Cell* cmd, bool wait, bool show, bool console, bool shell, Cell* in, Cell* out, Cell* err,
                        Cell* result);
extern Caller g_call;

// list-env: a new map! of the process environment into `result`.
using EnvLister = void (*)(Cell* result);
extern EnvLister g_list_env;

// Start-up: the system natives into the natives table.
void register_system_natives();

}  // namespace zel::workers
