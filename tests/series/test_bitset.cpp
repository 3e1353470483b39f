// bitset! where C++ looks at it: the three bitwise actions (through the
// registry) and do_bitwise's set operations checked bit by bit against a
// plain model of integer sets, over every mix of negated inputs; the
// result lengths; growth filling new bytes with the tail value. The
// behaviour seen from Zel code (specs, mold, comparison, modification,
// paths) is in tests/cases/bitset.cases.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "series/bitset.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"

namespace zel::test {
namespace {

// A set of non-negative integers: the listed members below bits.size(),
// and every integer from there on when `rest` is set.
struct IntSet {
    std::vector<bool> bits;
    bool rest = false;
    bool has(int64_t n) const { return n < int64_t(bits.size()) ? bool(bits[size_t(n)]) : rest; }
};

// The bitset! holding the set: one stored byte per 8 listed integers, the
// rest as the negated flag.
Cell bitset_of(const IntSet& set) {
    int64_t bytes = int64_t(set.bits.size()) / 8;
    Cell c;
    bitset::make_at(&c, bytes, 0, set.rest);
    uint8_t* p = memory::series_of(c.data2)->head();
    for (size_t n = 0; n < set.bits.size(); n++)
        if (set.bits[n]) p[n >> 3] |= bitset::bit_mask(int64_t(n));
    return c;
}

IntSet random_set(std::mt19937& rng, bool rest) {
    IntSet set;
    set.rest = rest;
    set.bits.resize(size_t(rng() % 5) * 8);
    for (size_t n = 0; n < set.bits.size(); n++) set.bits[n] = (rng() & 1) != 0;
    return set;
}

using Rule = bool (*)(bool, bool);

struct Operation {
    const char* name;
    int op;
    Rule rule;
    bool action;  // and~, or~, xor~: through the registry's handlers
};

const Operation OPERATIONS[] = {
    {"or~", bitset::OP_OR, [](bool x, bool y) { return x || y; }, true},
    {"and~", bitset::OP_AND, [](bool x, bool y) { return x && y; }, true},
    {"xor~", bitset::OP_XOR, [](bool x, bool y) { return x != y; }, true},
    {"union", bitset::OP_UNION, [](bool x, bool y) { return x || y; }, false},
    {"intersect", bitset::OP_INTERSECT, [](bool x, bool y) { return x && y; }, false},
    {"difference", bitset::OP_DIFFERENCE, [](bool x, bool y) { return x != y; }, false},
    {"exclude", bitset::OP_EXCLUDE, [](bool x, bool y) { return x && !y; }, false},
};

Cell run(const Operation& operation, const Cell& a, const Cell& b) {
    return call_with({a, b}, [&] {
        if (!operation.action) return bitset::do_bitwise(operation.op);
        switch (operation.op) {
            case bitset::OP_OR: return datatype::handler<ACT_OR_T>(TYPE_BITSET)();
            case bitset::OP_AND: return datatype::handler<ACT_AND_T>(TYPE_BITSET)();
            default: return datatype::handler<ACT_XOR_T>(TYPE_BITSET)();
        }
    });
}

std::string hex_of(const Cell& bitset) {
    Series* s = memory::series_of(bitset.data2);
    std::string out;
    for (uint32_t i = 0; i < s->used(); i++) out += string::byte_to_hex(s->head()[i]);
    return out;
}

// Every bit of the result, within the inputs' bytes, past them and far
// beyond, is the operation on the inputs' bits; the inputs stay as they were.
TEST(Bitset, OperationsAgreeWithTheModelOfSets) {
    std::mt19937 rng(20);
    for (const Operation& operation : OPERATIONS) {
        for (int mix = 0; mix < 4; mix++) {
            for (int round = 0; round < 50; round++) {
                IntSet x = random_set(rng, mix & 1), y = random_set(rng, mix & 2);
                Cell inputs[2] = {};
                gc::root keep(inputs, 2);
                inputs[0] = bitset_of(x);
                inputs[1] = bitset_of(y);
                std::string before_a = hex_of(inputs[0]), before_b = hex_of(inputs[1]);
                Cell result = run(operation, inputs[0], inputs[1]);
                std::string where = std::string(operation.name) + " of " + before_a + (x.rest ? " (negated)" : "") +
                                    " and " + before_b + (y.rest ? " (negated)" : "");
                ASSERT_EQ(type_of(&result), TYPE_BITSET) << where;
                int64_t beyond = int64_t(std::max(x.bits.size(), y.bits.size())) + 24;
                for (int64_t n : {int64_t(0), int64_t(1000000), int64_t(2147483647)})
                    EXPECT_EQ(bitset::has(&result, n), operation.rule(x.has(n), y.has(n))) << where << ", bit " << n;
                for (int64_t n = 0; n < beyond; n++)
                    ASSERT_EQ(bitset::has(&result, n), operation.rule(x.has(n), y.has(n))) << where << ", bit " << n;
                EXPECT_EQ(hex_of(inputs[0]), before_a) << where;
                EXPECT_EQ(hex_of(inputs[1]), before_b) << where;
            }
        }
    }
}

// The result is as long as the longer input, but for and~ of a shorter
// input that is not negated; the negated flag is the operation on the tails.
TEST(Bitset, ResultLengthsAndNegation) {
    struct Case {
        const char* name;
        IntSet a, b;
        const char* bytes;
        bool negated;
    } cases[] = {
        {"and~", {std::vector<bool>(8, true), false}, {std::vector<bool>(24, true), false}, "FF", false},
        {"intersect", {std::vector<bool>(8, true), false}, {std::vector<bool>(24, true), false}, "FF0000", false},
        {"and~", {std::vector<bool>(24, true), false}, {std::vector<bool>(8, true), false}, "FF", false},
        {"and~", {std::vector<bool>(8, false), true}, {std::vector<bool>(24, true), false}, "00FFFF", false},
        {"and~", {std::vector<bool>(8, false), true}, {std::vector<bool>(24, false), true}, "000000", true},
        {"or~", {std::vector<bool>(8, false), true}, {std::vector<bool>(24, false), false}, "00FFFF", true},
        {"xor~", {std::vector<bool>(8, true), true}, {std::vector<bool>(16, true), true}, "0000", false},
        {"xor~", {std::vector<bool>(8, true), false}, {std::vector<bool>(16, false), true}, "FF00", true},
        {"exclude", {std::vector<bool>(8, true), false}, {std::vector<bool>(16, false), false}, "FF00", false},
        {"exclude", {std::vector<bool>(16, true), false}, {std::vector<bool>(8, true), true}, "0000", false},
        {"exclude", {std::vector<bool>(8, false), true}, {std::vector<bool>(16, false), false}, "00FF", true},
        {"difference", {{}, false}, {std::vector<bool>(16, true), true}, "FFFF", true},
        {"union", {{}, false}, {{}, false}, "", false},
    };
    for (const Case& c : cases) {
        const Operation* operation = nullptr;
        for (const Operation& o : OPERATIONS)
            if (std::string(o.name) == c.name) operation = &o;
        Cell inputs[2] = {};
        gc::root keep(inputs, 2);
        inputs[0] = bitset_of(c.a);
        inputs[1] = bitset_of(c.b);
        Cell result = run(*operation, inputs[0], inputs[1]);
        std::string where = std::string(c.name) + " of " + hex_of(inputs[0]) + " and " + hex_of(inputs[1]);
        EXPECT_EQ(hex_of(result), c.bytes) << where;
        EXPECT_EQ(bitset::negated_q(memory::series_of(result.data2)), c.negated) << where;
    }
}

TEST(Bitset, UniqueAndASecondValueThatIsNoBitset) {
    IntSet set{std::vector<bool>(8, true), false};
    Cell inputs[2] = {bitset_of(set), integer(5)};
    gc::root keep(inputs, 2);
    Cell result = call_with({inputs[0], inputs[1]}, [] { return bitset::do_bitwise(bitset::OP_UNIQUE); });
    EXPECT_EQ(result.data2, inputs[0].data2) << "unique answers the first set itself";
    for (const Operation& operation : OPERATIONS)
        EXPECT_EQ(error_of([&] { run(operation, inputs[0], inputs[1]); }), "script/invalid-type") << operation.name;
}

// Growing past the stored bytes fills every new byte with the tail value,
// whatever the buffer held beyond its tail.
TEST(Bitset, GrowthFillsNewBytesWithTheTailValue) {
    for (bool negated : {false, true}) {
        Cell b;
        bitset::make_at(&b, 1, negated ? 0xFF : 0x00, negated);
        gc::root keep(&b);
        Series* s = memory::series_of(b.data2);
        std::memset(s->tail_ptr(), 0x5A, size_t(s->capacity) - s->tail);
        bitset::grow(&b, 9);  // within the capacity
        bitset::grow(&b, 300);  // beyond it
        s = memory::series_of(b.data2);
        ASSERT_EQ(s->used(), 38u);
        std::string expected(38 * 2, negated ? 'F' : '0');
        EXPECT_EQ(hex_of(b), expected) << (negated ? "negated" : "plain");
        bitset::grow(&b, 7);
        EXPECT_EQ(memory::series_of(b.data2)->used(), 38u) << "growing never shrinks";
    }
}

}  // namespace
}  // namespace zel::test
