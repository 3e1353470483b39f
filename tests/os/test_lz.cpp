// The LZ packed format: blobs assembled bit by bit from the format's token
// codes (what the packer must make of given inputs, what the unpacker must
// refuse), round trips over a table of inputs, and packed Zelbin streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "boot/zelbin/format.h"
#include "os/lz.h"
#include "series/binary.h"
#include "tests/support/eval_env.h"
#include "tests/support/held.h"

using namespace zel;

namespace {

using Bytes = std::vector<uint8_t>;

// A bit stream written least significant bit first, as the format reads it.
struct Bits {
    Bytes bytes;
    int count = 0;
    Bits& put(uint32_t v, int n) {
        for (int i = 0; i < n; i++, count++) {
            if (count % 8 == 0) bytes.push_back(0);
            if (v >> i & 1) bytes.back() |= uint8_t(1 << (count % 8));
        }
        return *this;
    }
    Bits& literal(uint8_t b) { return put(0, 1).put(b, 8); }
};

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

// A blob of the given chunks (length, bit stream); P and U as given, or
// computed when negative.
Bytes blob(const std::vector<std::pair<uint32_t, Bytes>>& chunks, int64_t p = -1, int64_t u = -1) {
    Bytes body;
    uint32_t total = 0;
    for (const auto& [length, bits] : chunks) {
        put32(body, length);
        body.insert(body.end(), bits.begin(), bits.end());
        total += length;
    }
    Bytes out;
    put32(out, uint32_t(p < 0 ? int64_t(body.size()) : p));
    put32(out, uint32_t(u < 0 ? int64_t(total) : u));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

struct Unpacked {
    bool ok;
    Bytes bytes;
};

Unpacked unpack(const Bytes& b) {
    int64_t count = -1;
    uint8_t* out = lz::decompress(b.data(), int64_t(b.size()), &count);
    if (!out) return {false, {}};
    Bytes bytes(out, out + count);
    lz::free_buffer(out);
    return {true, bytes};
}

Bytes pack(const Bytes& in) {
    Bytes out(in.size());
    int64_t n = lz::compress(in.data(), int64_t(in.size()), out.data());
    out.resize(n < 0 ? 0 : size_t(n));
    return out;
}

Bytes text(size_t n, unsigned seed) {
    const char* words[] = {"the ", "quick ", "fox ", "zel ", "block ", "series\n"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        std::string w = words[rng() % 6];
        b.insert(b.end(), w.begin(), w.end());
    }
    b.resize(n);
    return b;
}

Bytes mixed(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        size_t size = 1 + rng() % 20000;
        switch (rng() % 4) {
        case 0: {
            Bytes t = text(size, unsigned(rng()));
            b.insert(b.end(), t.begin(), t.end());
            break;
        }
        case 1:
            for (size_t i = 0; i < size; i++) b.push_back(uint8_t(rng()));
            break;
        case 2:
            b.insert(b.end(), size, uint8_t(rng()));
            break;
        default:
            if (b.empty()) {
                b.insert(b.end(), size, 'x');
            } else {
                size_t back = 1 + rng() % std::min<size_t>(b.size(), 40000);
                size_t from = b.size() - back;
                for (size_t i = 0; i < size; i++) b.push_back(b[from + i]);
            }
        }
    }
    b.resize(n);
    return b;
}

}  // namespace

TEST(Lz, PackerTokens) {
    // 128 zero bytes: a literal, then one match of 127 at distance 1 (the
    // 9-bit length form, n = 124; distance code j = 2, d = 0).
    Bits zeros;
    zeros.literal(0).put(1, 1).put(0, 5).put(124 - 52, 9).put(0, 4).put(0, 3);
    EXPECT_EQ(pack(Bytes(128, 0)), blob({{128, zeros.bytes}}));

    // The longest match, 566 bytes (n = 563).
    Bytes longest = {'x'};
    longest.insert(longest.end(), 567, 'y');
    Bits longest_bits;
    longest_bits.literal('x').literal('y').put(1, 1).put(0, 5).put(563 - 52, 9).put(0, 4).put(0, 3);
    EXPECT_EQ(pack(longest), blob({{568, longest_bits.bytes}}));

    // Distance 8 takes j = 2 (d = 7 in 3 bits), distance 9 j = 3 (d = 8,
    // 2^3 + 0 in 3 bits); the lengths 24 and 27 take the 5-bit form.
    Bytes periodic;
    for (int i = 0; i < 32; i++) periodic.push_back(uint8_t('A' + i % 8));
    for (int i = 0; i < 36; i++) periodic.push_back(uint8_t('a' + i % 9));
    for (int i = 0; i < 64; i++) periodic.push_back(uint8_t(0x80 + i));
    Bits periodic_bits;
    for (int i = 0; i < 8; i++) periodic_bits.literal(uint8_t('A' + i));
    periodic_bits.put(1, 1).put(16, 5).put(24 - 3 - 20, 5).put(0, 4).put(7, 3);
    for (int i = 0; i < 9; i++) periodic_bits.literal(uint8_t('a' + i));
    periodic_bits.put(1, 1).put(16, 5).put(27 - 3 - 20, 5).put(1, 4).put(0, 3);
    for (int i = 0; i < 64; i++) periodic_bits.literal(uint8_t(0x80 + i));
    EXPECT_EQ(pack(periodic), blob({{132, periodic_bits.bytes}}));

    // Inputs of 127 bytes or fewer are refused; so is one that does not
    // shrink.
    Bytes out(127);
    EXPECT_EQ(lz::compress(Bytes(127, 0).data(), 127, out.data()), -1);
    Bytes noise;
    std::mt19937 rng(7);
    for (int i = 0; i < 4000; i++) noise.push_back(uint8_t(rng()));
    EXPECT_TRUE(pack(noise).empty());
}

TEST(Lz, UnpackerAnswers) {
    Bits abc;
    abc.literal('a').literal('b').literal('c');
    Bits match_first;
    match_first.put(1, 1).put(1, 3).put(0, 4).put(0, 3);
    Bits repeat;  // "ab" then a match of 3 at distance 2
    repeat.literal('a').literal('b').put(1, 1).put(1, 3).put(0, 4).put(1, 3);
    Bits too_long;  // a match passing the chunk's length
    too_long.literal('a').put(1, 1).put(3, 3).put(0, 4).put(0, 3);
    struct Case {
        const char* what;
        Bytes blob;
        bool ok;
        Bytes out;
    } cases[] = {
        {"P = 0", {0, 0, 0, 0, 0, 0, 0, 0}, true, {}},
        {"literals", blob({{3, abc.bytes}}), true, {'a', 'b', 'c'}},
        {"overlapping match", blob({{5, repeat.bytes}}), true, {'a', 'b', 'a', 'b', 'a'}},
        {"two chunks", blob({{3, abc.bytes}, {5, repeat.bytes}}), true, {'a', 'b', 'c', 'a', 'b', 'a', 'b', 'a'}},
        {"a first token that is a match", blob({{3, match_first.bytes}}), false, {}},
        {"a match into the chunk before", blob({{3, abc.bytes}, {3, match_first.bytes}}), false, {}},
        {"a match past the chunk's end", blob({{4, too_long.bytes}}), false, {}},
        {"L of 0", blob({{0, {}}}), false, {}},
        {"L of 1,048,577", blob({{1048577, abc.bytes}}), false, {}},
        {"bits past P", blob({{4, abc.bytes}}), false, {}},
        {"U above what was made", blob({{3, abc.bytes}}, -1, 4), false, {}},
        {"U below what is made", blob({{3, abc.bytes}}, -1, 2), false, {}},
        {"U above 256 times P", blob({{3, abc.bytes}}, -1, 256 * 8 + 1), false, {}},
        {"P past the input", blob({{3, abc.bytes}}, 100), false, {}},
        {"L not inside P", blob({{3, abc.bytes}}, 2, 3), false, {}},
        {"a header cut short", {5, 0, 0, 0, 1, 0}, false, {}},
        {"U of 4 GB with P = 0", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, false, {}},
    };
    for (const Case& c : cases) {
        Unpacked u = unpack(c.blob);
        EXPECT_EQ(u.ok, c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(u.bytes, c.out) << c.what;
        }
    }
}

TEST(Lz, RoundTrips) {
    Bytes runs(100000, 'a');
    runs.insert(runs.end(), 300, 'b');
    for (int k = 0; k < 40; k++)
        for (int i = 0; i < 256; i++) runs.push_back(uint8_t(i));
    runs.insert(runs.end(), 70000, 0);
    struct Case {
        const char* what;
        Bytes in;
    } cases[] = {
        {"128 bytes", text(128, 1)},
        {"text", text(50000, 2)},
        {"runs", runs},
        {"1 MB mixed", mixed(1 << 20, 3)},
        {"8 MB mixed", mixed(8 << 20, 4)},
    };
    for (const Case& c : cases) {
        Bytes packed = pack(c.in);
        ASSERT_FALSE(packed.empty()) << c.what;
        EXPECT_LT(packed.size(), c.in.size()) << c.what;
        Unpacked u = unpack(packed);
        EXPECT_TRUE(u.ok) << c.what;
        EXPECT_TRUE(u.bytes == c.in) << c.what;
    }
}

namespace {

Cell binary_cell(const Bytes& bytes) {
    Cell bin;
    binary::make_at(&bin, int64_t(bytes.size()));
    Series* s = memory::series_of(bin.data2);
    std::memcpy(s->head(), bytes.data(), bytes.size());
    s->tail = s->offset + uint32_t(bytes.size());
    return test::held(bin);
}

// The mold of what a stream decodes to, or its error.
std::string decoded(const Bytes& stream) {
    Cell bin = binary_cell(stream), result;
    std::string error = test::error_of([&] { zelbin::decode(&bin, &result); });
    return error.empty() ? test::mold_of(test::held(result)) : error;
}

}  // namespace

TEST(Lz, APackedZelbinStreamLoadsLikeItsUnpackedTwin) {
    Cell value = test::held(test::eval_value(
        "reduce [append/dup copy {} {zel block } 40 #{00010203} 'word [1 2.5 $3 [nested]] 1-Jan-2026 make map! [a 1]]"));
    for (bool compact : {false, true}) {
        Cell bin;
        zelbin::Options options;
        options.compact = compact;
        zelbin::encode(&value, options, &bin);
        Bytes plain(binary::head(&bin), binary::head(&bin) + binary::length_q(&bin));
        Bytes body = pack(Bytes(plain.begin() + zelbin::HEADER_BYTES, plain.end()));
        ASSERT_FALSE(body.empty());
        Bytes packed(plain.begin(), plain.begin() + zelbin::HEADER_BYTES);
        packed[7] |= zelbin::FLAG_PACKED;
        packed.insert(packed.end(), body.begin(), body.end());
        EXPECT_LT(packed.size(), plain.size());
        std::string twin = decoded(plain);
        EXPECT_EQ(twin.find("error"), std::string::npos) << twin;
        EXPECT_EQ(decoded(packed), twin) << (compact ? "compact" : "fixed");

        // A blob cut short, or one unpacking to other than its U bytes, is
        // the stream's fault.
        Bytes cut(packed.begin(), packed.end() - 1);
        EXPECT_EQ(decoded(cut), "script/invalid-data");
        Bytes longer = packed;
        longer[zelbin::HEADER_BYTES + 4]++;
        EXPECT_EQ(decoded(longer), "script/invalid-data");
    }
}
