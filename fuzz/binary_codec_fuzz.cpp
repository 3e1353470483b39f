// Fuzz target: random bytes as text through the four decoders of binary!.
// The first byte chooses the code unit width (1, 2 or 4 bytes); the rest is
// the text, cut to whole units and held in a buffer of exactly its size so
// that a read past the given count is caught. Invalid text is a fine
// answer; a crash, a read past the text, an output larger than the decoder's
// bound or a decoded value that does not encode and decode to itself is not.
// The same bytes, taken as data, are encoded in each base and must decode
// back to themselves from text of every unit width.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fresh_runtime.h"
#include "series/binary_codec.h"
#include "series/string.h"

namespace {

using namespace zel;
using Bytes = std::vector<uint8_t>;

void check(bool ok) {
    if (!ok) std::abort();
}

struct Codec {
    int base;
    uint8_t* (*encode)(uint8_t*, const uint8_t*, int64_t);
    Node (*decode)(const uint8_t*, int64_t, int, binary::DecodeRules, int64_t*);
    int64_t (*most_bytes)(int64_t count);  // the most bytes text of `count` units decodes to
};

Node decode_base58(const uint8_t* text, int64_t count, int unit, binary::DecodeRules,
                   int64_t* bad) {
    return binary::decode_base58(text, count, unit, bad);
}

const Codec CODECS[] = {
    {2, binary::encode_base2, binary::decode_base2, [](int64_t count) { return count / 8; }},
    {16, binary::encode_base16, binary::decode_base16, [](int64_t count) { return count / 2; }},
    {58, binary::encode_base58, decode_base58, [](int64_t count) { return count; }},
    {64, binary::encode_base64, binary::decode_base64,
     [](int64_t count) { return (count * 3 + 9) / 4; }},
};

Bytes bytes_of(Node node) {
    Series* s = memory::series_of(node);
    return Bytes(s->head(), s->tail_ptr());
}

Bytes encoded(const Codec& codec, const Bytes& bytes) {
    Bytes text(size_t(binary::encoded_capacity(codec.base, int64_t(bytes.size()))));
    uint8_t* end = codec.encode(text.data(), bytes.data(), int64_t(bytes.size()));
    check(end >= text.data() && end <= text.data() + text.size());
    check(codec.base == 58 || end == text.data() + text.size());
    text.resize(size_t(end - text.data()));
    return text;
}

// The ASCII text in code units of `unit` bytes, in a buffer of that size.
Bytes widened(const Bytes& text, int unit) {
    Bytes wide(text.size() * size_t(unit));
    for (size_t i = 0; i < text.size(); i++)
        string::put_char(wide.data() + i * size_t(unit), unit, text[i]);
    return wide;
}

// Encodes the bytes and decodes the text in every unit width: the same bytes.
void check_round_trip(const Codec& codec, const Bytes& bytes) {
    Bytes text = encoded(codec, bytes);
    for (int unit : {1, 2, 4}) {
        Bytes wide = widened(text, unit);
        Node node = codec.decode(wide.data(), int64_t(text.size()), unit,
                                 binary::DecodeRules::general, nullptr);
        check(node != 0 && bytes_of(node) == bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::fresh_runtime(runtime::init);
    constexpr int UNITS[] = {1, 2, 4};
    const int unit = UNITS[data[0] % 3];
    data++;
    size--;
    const int64_t count = int64_t(size) / unit;
    const Bytes text(data, data + count * unit);
    for (const Codec& codec : CODECS) {
        for (auto rules : {binary::DecodeRules::general, binary::DecodeRules::literal}) {
            if (codec.base == 58 && rules == binary::DecodeRules::literal)
                continue;  // no literal form
            int64_t bad = -1;
            Node node = codec.decode(text.data(), count, unit, rules, &bad);
            if (!node) {
                check(bad >= 0 && bad <= count);
                continue;
            }
            Bytes bytes = bytes_of(node);
            check(int64_t(bytes.size()) <= codec.most_bytes(count));
            check_round_trip(codec, bytes);
        }
        check_round_trip(codec, Bytes(data, data + size));
    }
    return 0;
}
