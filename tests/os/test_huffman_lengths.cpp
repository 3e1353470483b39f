// The length-limited code builder: the lengths it deals for small
// frequency tables worked by hand (ties, the limit's fix-up, fewer than
// two symbols), and for larger ones the properties every code must have.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "os/huffman_lengths.h"

using namespace zel;

namespace {

std::vector<int> lengths_of(const std::vector<uint32_t>& freq, int limit) {
    std::vector<uint8_t> lengths(freq.size());
    huffman::build_lengths(freq.data(), int(freq.size()), limit, lengths.data());
    return std::vector<int>(lengths.begin(), lengths.end());
}

// Kraft sum in units of 2^-limit.
uint64_t kraft(const std::vector<int>& lengths, int limit) {
    uint64_t sum = 0;
    for (int l : lengths)
        if (l) sum += uint64_t(1) << (limit - l);
    return sum;
}

}  // namespace

TEST(HuffmanLengths, SmallTablesWorkedByHand) {
    struct Case {
        std::vector<uint32_t> freq;
        int limit;
        std::vector<int> lengths;
    };
    const Case cases[] = {
        {{10, 1, 1, 5}, 15, {1, 3, 3, 2}},
        {{1, 1, 1, 1}, 15, {2, 2, 2, 2}},
        // Equal frequencies keep ascending symbol order; the shortest
        // lengths go to the end of that order.
        {{1, 1, 1}, 15, {2, 2, 1}},
        {{0, 7, 0, 7, 7}, 15, {0, 2, 0, 2, 1}},
        // Depths 4 4 3 2 1 cut at 3: one code of length 2 is split.
        {{1, 1, 2, 4, 8}, 3, {3, 3, 3, 3, 1}},
        {{1, 1, 2, 4, 8, 16, 32, 64}, 4, {4, 4, 4, 4, 4, 4, 3, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(lengths_of(c.freq, c.limit), c.lengths) << c.freq.size() << " symbols";
}

TEST(HuffmanLengths, FewerThanTwoSymbolsStillMakeACompleteCode) {
    EXPECT_EQ(lengths_of({0, 0, 0, 0}, 15), (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(lengths_of({3, 0, 0}, 15), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(lengths_of({0, 5, 0}, 15), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(lengths_of({0, 0, 0, 9}, 7), (std::vector<int>{1, 0, 0, 1}));
}

// Fibonacci frequencies make the deepest unlimited codes: every limit must
// hold, the code stay complete, and a more frequent symbol never get a
// longer code.
TEST(HuffmanLengths, LimitedCodesAreCompleteAndOrdered) {
    for (int symbols : {19, 30, 286}) {
        std::vector<uint32_t> freq(static_cast<size_t>(symbols));
        uint32_t a = 1, b = 1;
        for (int s = 0; s < symbols; s++) {
            freq[size_t((s * 7) % symbols)] = a;  // not in symbol order
            uint32_t c = a + b > 1000000000 ? 1000000000 : a + b;
            a = b;
            b = c;
        }
        for (int limit : {7, 9, 15}) {
            if ((1 << limit) < symbols) continue;
            std::vector<int> lengths = lengths_of(freq, limit);
            EXPECT_EQ(kraft(lengths, limit), uint64_t(1) << limit) << symbols << " symbols, limit " << limit;
            for (int s = 0; s < symbols; s++) {
                EXPECT_GE(lengths[size_t(s)], 1);
                EXPECT_LE(lengths[size_t(s)], limit);
                for (int t = 0; t < symbols; t++) {
                    if (freq[size_t(s)] > freq[size_t(t)]) {
                        EXPECT_LE(lengths[size_t(s)], lengths[size_t(t)]);
                    }
                }
            }
        }
    }
}

TEST(HuffmanLengths, CanonicalCodesOfTheRfcExample) {
    const uint8_t lengths[] = {3, 3, 3, 3, 3, 2, 4, 4};
    uint16_t codes[8];
    huffman::canonical_codes(lengths, 8, codes);
    const uint16_t expected[] = {0b010, 0b011, 0b100, 0b101, 0b110, 0b00, 0b1110, 0b1111};
    for (int s = 0; s < 8; s++) EXPECT_EQ(codes[s], expected[s]) << "symbol " << s;
}
