// Checks the DEFLATE fuzz targets share: a decoder's size probe, exact and
// short destinations, and an encoder's round trip, each on buffers of
// exactly their size so that any access past them is caught.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "os/deflate.h"

namespace zel::fuzz {

using Compressor = int (*)(uint8_t*, int64_t*, const uint8_t*, int64_t, int);
using Decompressor = int (*)(uint8_t*, int64_t*, const uint8_t*, int64_t);

inline void check(bool ok) {
    if (!ok) std::abort();
}

// The largest output worth allocating while fuzzing.
constexpr int64_t MOST_TRIED = int64_t(1) << 26;

// The probe's size must be what DEFLATE of this length can give; decoding
// into exactly that size must give it (or, for framings whose probe does
// not decode, find the input corrupt); one byte less must say too small
// with the same size and leave what it wrote equal to the full output.
// `decoding_probe`: the probe decodes, so the exact decode must succeed
// unless a checksum fails.
inline void check_decoder(Decompressor decode, const uint8_t* data, size_t n, bool decoding_probe, bool raw) {
    int64_t need = 0;
    int probe = decode(nullptr, &need, data, int64_t(n));
    if (probe != 0 && probe != 1) return;
    check(need >= 0 && need <= deflate::MOST_EXPANSION * int64_t(n));
    check((probe == 1) == (need > 0));
    if (need > MOST_TRIED) return;
    std::unique_ptr<uint8_t[]> full(new uint8_t[size_t(need) + 1]);
    int64_t size = need;
    int result = decode(full.get(), &size, data, int64_t(n));
    if (raw) check(result == 0);
    if (result != 0) {
        check(!decoding_probe || result == 2);
        return;
    }
    check(size == need);
    if (need == 0) return;
    int64_t short_size = need - 1;
    std::unique_ptr<uint8_t[]> part(new uint8_t[size_t(short_size) + 1]);
    int result_short = decode(part.get(), &short_size, data, int64_t(n));
    check(result_short == 1 && short_size == need);
    if (raw) check(std::memcmp(part.get(), full.get(), size_t(need - 1)) == 0);
}

// Compressing gives a stream within the bound that decodes to the input;
// with one byte less room, too small with the same size and the same bytes
// as far as they fit.
inline void check_round_trip(Compressor encode, Decompressor decode, const uint8_t* data, size_t n, int level) {
    const int64_t bound = int64_t(n) + int64_t(n) / 2048 + 32;
    std::unique_ptr<uint8_t[]> stream(new uint8_t[size_t(bound)]);
    // The input in a buffer of its own size, at a null pointer when empty.
    std::unique_ptr<uint8_t[]> input(n ? new uint8_t[n] : nullptr);
    if (n) std::memcpy(input.get(), data, n);
    int64_t size = bound;
    check(encode(stream.get(), &size, input.get(), int64_t(n), level) == 0);
    check(size > 0 && size <= bound);
    std::unique_ptr<uint8_t[]> back(new uint8_t[n + 1]);
    int64_t back_size = int64_t(n);
    check(decode(back.get(), &back_size, stream.get(), size) == 0);
    check(back_size == int64_t(n) && (n == 0 || std::memcmp(back.get(), data, n) == 0));
    int64_t short_size = size - 1;
    std::unique_ptr<uint8_t[]> part(new uint8_t[size_t(short_size) + 1]);
    check(encode(part.get(), &short_size, input.get(), int64_t(n), level) == 1);
    check(short_size == size);
}

// A target's whole run: the bytes decoded, then (all but the first, which
// chooses the level) encoded and decoded back.
inline int check_codec(Compressor encode, Decompressor decode, bool decoding_probe, bool raw, const uint8_t* data,
                       size_t size) {
    check_decoder(decode, data, size, decoding_probe, raw);
    if (size > 0) check_round_trip(encode, decode, data + 1, size - 1, int(data[0] % 11) - 1);
    return 0;
}

}  // namespace zel::fuzz
