// Zelbin: values through the encoder and back in both forms, the bytes the
// compact form gives the cases it narrows, shared series and contexts, and
// damaged streams, each refused with its error.
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "boot/zelbin/format.h"
#include "interpreter/function.h"
#include "interpreter/object.h"
#include "series/binary.h"
#include "series/vector.h"
#include "tests/support/eval_env.h"
#include "tests/support/held.h"
#include "tests/support/loaded.h"
#include "words/context.h"

namespace zel::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The values these tests hold stay reachable while they encode and decode.
Cell value_of(const std::string& code) { return held(eval_value(code)); }

Bytes encoded(const Cell& value, bool compact) {
    Cell bin;
    zelbin::Options options;
    options.compact = compact;
    zelbin::encode(&value, options, &bin);
    return Bytes(binary::head(&bin), binary::head(&bin) + binary::length_q(&bin));
}

Cell binary_of(const Bytes& bytes) {
    Cell bin;
    binary::make_at(&bin, int64_t(bytes.size()));
    Series* s = memory::series_of(bin.data2);
    if (!bytes.empty()) std::memcpy(s->head(), bytes.data(), bytes.size());
    s->tail = s->offset + uint32_t(bytes.size());
    return held(bin);
}

// The block of values a stream decodes to.
Cell decoded(const Bytes& bytes) {
    Cell bin = binary_of(bytes), result;
    zelbin::decode(&bin, &result);
    return held(result);
}

Cell round_trip(const Cell& value, bool compact) {
    Cell block = decoded(encoded(value, compact));
    EXPECT_EQ(total_cells(block), 1);
    return held(cells_of(block)[0]);
}

// ---- Round trips -------------------------------------------------------------------------------

// Each code's value, encoded and decoded in both forms, and what came back
// given to the check.
template <typename Check>
void check_round_trips(std::span<const char* const> codes, Check check) {
    for (const char* code : codes) {
        Cell value;
        ASSERT_EQ(error_of([&] { value = value_of(code); }), "") << code;
        for (bool compact : {true, false}) {
            SCOPED_TRACE(std::string(code) + (compact ? " compact" : " fixed"));
            Cell back;
            ASSERT_EQ(error_of([&] { back = round_trip(value, compact); }), "");
            check(back, value);
        }
    }
}

// Each code's value, encoded and decoded in both forms, shows the same.
TEST(Zelbin, EveryDatatypeRoundTripsInBothForms) {
    const char* codes[] = {
        "0", "63", "64", "-1", "2147483647", "-2147483648",
        "0.0", "-0.0", "1.5", "1e300", "3.0", "2147483001.0", "-7.0",
        "50%", "12.345%", "-0.5%",
        "10:30", "1:02:03.5", "-0:00:01",
        "1-Jan-2000", "29-Feb-2024/10:00:00+02:00", "3-Mar-1999/23:59:59-05:30",
        "$1.23", "-$5", "EUR$3.5",
        "#\"a\"", "#\"^(1F600)\"", "#\"^(00E9)\"",
        "3x4", "-2x0", "1.2.3", "1.2.3.4.5.6.7.8.9.10.11.12", "(1.5, -2.25)", "(1, 2, 3)",
        "pick [#abc] 1", "pick [word] 1", "pick ['lit] 1", "pick [:get] 1", "pick [set:] 1", "pick [/ref] 1",
        "\"abc\"", "\"été\"", "\"a😀b\"", "%dir/file.txt", "http://example.org/x?y", "pick [<tag a=1>] 1",
        "pick [user@example.org] 1", "pick [@ref] 1", "#{00FF10}", "#{}",
        "[1 [2 \"three\" [4]] x/y (5)]", "pick [(1 + 2)] 1", "pick [a/b/c] 1", "pick ['a/b] 1",
        "pick [:a/b] 1", "pick [a/b:] 1", "#[a: 1 \"b\" [2] 3 none]", "make hash! [a 1 b 2]",
        "none", "true", "false", "integer!", "make typeset! [integer! block! event!]",
        "make typeset! []", "next [1 2 3]", "skip \"abcdef\" 4",
        "[\n    a\n    b\n]",
    };
    check_round_trips(codes, [](const Cell& back, const Cell& value) {
        EXPECT_EQ(shown(back), shown(value));
        EXPECT_EQ(type_of(&back), type_of(&value));
        if (type_of(&value) == TYPE_FLOAT || type_of(&value) == TYPE_PERCENT || type_of(&value) == TYPE_TIME) {
            EXPECT_EQ(std::memcmp(&back.data2, &value.data2, 8), 0) << "the same double bits";
        }
    });
}

// A binary! past its head, and bitsets plain and complemented (which no
// code can make yet).
TEST(Zelbin, BinariesAndBitsetsRoundTrip) {
    Cell bin = binary_of({1, 2, 3});
    bin.data1 = 1;
    Cell bits = binary_of({0x80, 0x01});
    cell::set_type(&bits, TYPE_BITSET);
    Cell complemented = binary_of({0xFF});
    cell::set_type(&complemented, TYPE_BITSET);
    memory::series_of(complemented.data2)->flags |= SERIES_NEGATED;
    for (bool compact : {true, false}) {
        Cell back = round_trip(bin, compact);
        EXPECT_EQ(back.data1, 1u);
        EXPECT_EQ(shown(back), "#{0203}");
        back = round_trip(bits, compact);
        EXPECT_EQ(type_of(&back), TYPE_BITSET);
        EXPECT_EQ(memory::series_of(back.data2)->used(), 2u);
        EXPECT_EQ(memory::series_of(back.data2)->head()[1], 0x01);
        EXPECT_FALSE(memory::series_of(back.data2)->flags & SERIES_NEGATED);
        back = round_trip(complemented, compact);
        EXPECT_TRUE(memory::series_of(back.data2)->flags & SERIES_NEGATED);
    }
}

// Vectors of every item type and width, past their head too, come back with
// the same items, item type and width, and head.
TEST(Zelbin, VectorsOfEveryItemTypeAndWidthRoundTrip) {
    const char* codes[] = {
        "make vector! [char! 8 [#\"a\" #\"^(FF)\"]]",
        "make vector! [char! 16 [#\"a\" #\"^(E9)\" #\"^(FFFF)\"]]",
        "make vector! [char! 32 [#\"^(1F600)\" #\"^(10FFFF)\"]]",
        "make vector! [integer! 8 [-128 0 127]]",
        "make vector! [integer! 16 [-32768 1 32767]]",
        "make vector! [integer! 32 [-2147483648 0 2147483647]]",
        "make vector! [float! 32 [1.5 -0.0 3e38]]",
        "make vector! [float! 64 [1e300 -2.5 0.1]]",
        "make vector! [percent! 64 [50% 12.345% -1%]]",
        "make vector! [integer! 16 []]",
        "make vector! [float! 64 []]",
        "next next make vector! [integer! 8 [1 2 3]]",
        "skip make vector! [float! 32 [1.0 2.0]] 2",
    };
    auto same_vector = [](const Cell& back, const Cell& value) {
        EXPECT_EQ(type_of(&back), TYPE_VECTOR);
        EXPECT_EQ(shown(back), shown(value));
        EXPECT_EQ(back.data1, value.data1) << "head";
        EXPECT_EQ(back.data3, value.data3) << "item type";
        Series *b = memory::series_of(back.data2), *v = memory::series_of(value.data2);
        EXPECT_EQ(b->unit(), v->unit());
        ASSERT_EQ(b->used(), v->used());
        EXPECT_EQ(std::memcmp(b->head(), v->head(), v->used()), 0) << "the same item bytes";
    };
    check_round_trips(codes, same_vector);
    // A percent vector of 4-byte items: no spec makes one, the vector code
    // reads it all the same.
    Cell narrow{};
    vector::make_at(&narrow, 2, TYPE_PERCENT, 4);
    held(narrow);
    float items[] = {0.5f, -0.25f};
    Series* s = memory::series_of(narrow.data2);
    std::memcpy(s->head(), items, sizeof items);
    s->tail = s->offset + sizeof items;
    for (bool compact : {true, false}) same_vector(round_trip(narrow, compact), narrow);
}

TEST(Zelbin, AnUnsetValueAndNewLineMarkersRoundTrip) {
    Cell block = value_of("reduce [()\n 1\n \"x\"]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(block, compact);
        ASSERT_EQ(total_cells(back), 3);
        EXPECT_EQ(type_of(cells_of(back)), TYPE_UNSET);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(cell::new_line(cells_of(back) + i), cell::new_line(cells_of(block) + i)) << i;
    }
}

// ---- Bytes of the compact form -------------------------------------------------------------------------

// The payload of a compact stream without symbols: after the magic, version,
// flags, record count 1 and a one-byte payload size.
Bytes payload_of(const Cell& value) {
    Bytes all = encoded(value, true);
    EXPECT_EQ(all[7], zelbin::FLAG_COMPACT);
    EXPECT_EQ(all[8], 1);
    return Bytes(all.begin() + 10, all.end());
}

TEST(Zelbin, CompactFormNarrowsWhatItCan) {
    struct Case {
        const char* code;
        Bytes payload;
    };
    const Case cases[] = {
        {"0", {0x80}},
        {"63", {0xBF}},
        {"64", {TYPE_INTEGER, 0x80, 0x01}},
        {"-1", {TYPE_INTEGER, 0x01}},
        {"0.0", {TYPE_FLOAT | 0x40, 0x00}},
        {"-0.0", {TYPE_FLOAT, 0, 0, 0, 0, 0, 0, 0, 0x80}},
        {"-3.0", {TYPE_FLOAT | 0x40, 0x05}},
        {"50%", {TYPE_PERCENT | 0x40, 100}},
        {"1.2.3", {TYPE_TUPLE, 1, 2, 3}},
        {"1.2.3.4", {TYPE_TUPLE | 0x40, 4, 1, 2, 3, 4}},
        {"make typeset! []", {TYPE_TYPESET, 0}},
        {"\"ab\"", {TYPE_STRING, 8, 'a', 'b'}},
        {"next \"ab\"", {TYPE_STRING | 0x40, 1, 8, 'a', 'b'}},
        {"true", {0xC2}},
        {"[1\n 2]", {TYPE_BLOCK, 2, 0x81, 0xC0, 0x82}},
        {"10:00", {TYPE_TIME | 0x40, 0xC0, 0xB2, 0x04}},
    };
    for (const Case& c : cases) EXPECT_EQ(payload_of(value_of(c.code)), c.payload) << c.code;
}

// A vector record: the item code (item type x 4 + log2 of the width), the
// count and the items as they are stored; a head past 0 sets the flag.
TEST(Zelbin, VectorsInTheCompactForm) {
    EXPECT_EQ(payload_of(value_of("make vector! [integer! 16 [1 -2]]")),
              (Bytes{TYPE_VECTOR, TYPE_INTEGER * 4 + 1, 2, 1, 0, 0xFE, 0xFF}));
    EXPECT_EQ(payload_of(value_of("next make vector! [char! 8 [#\"a\" #\"b\"]]")),
              (Bytes{TYPE_VECTOR | 0x40, 1, TYPE_CHAR * 4, 2, 'a', 'b'}));
    EXPECT_EQ(payload_of(value_of("make vector! [float! 64 [1.0]]")),
              (Bytes{TYPE_VECTOR, TYPE_FLOAT * 4 + 3, 1, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(payload_of(value_of("make vector! [percent! []]")), (Bytes{TYPE_VECTOR, TYPE_PERCENT * 4 + 3, 0}));
}

// In the fixed form: the width in bits 8-15 of the header word, the head,
// the count, the item type, the items padded to a word.
TEST(Zelbin, VectorsInTheFixedForm) {
    Bytes all = encoded(value_of("next make vector! [integer! 8 [1 2 -1]]"), false);
    Bytes payload(all.begin() + 16, all.end());
    EXPECT_EQ(payload, (Bytes{TYPE_VECTOR, 1, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, TYPE_INTEGER, 0, 0, 0, 1, 2, 0xFF, 0}));
}

TEST(Zelbin, WideOrFractionalNumbersKeepTheirEightBytes) {
    for (const char* code : {"12.345%", "2147483001.0", "0.5", "1:00:00.25"})
        EXPECT_EQ(payload_of(value_of(code)).size(), 9u) << code;
}

// In the fixed form a filler word puts every double at a multiple of 8
// bytes of the payload.
TEST(Zelbin, FixedFormAlignsDoublesWithAFiller) {
    Bytes all = encoded(value_of("[1.5]"), false);
    // header 8, record count and payload size 8; payload: block header, head,
    // count (12 bytes), then a filler word, the float header and the double.
    ASSERT_EQ(all.size(), 16u + 12 + 4 + 4 + 8);
    EXPECT_EQ(all[28], 0);
    EXPECT_EQ(all[32], TYPE_FLOAT);
    EXPECT_EQ(uint32_t(all[12]), 28u) << "payload size";
}

TEST(Zelbin, WordsGoThroughTheSymbolTable) {
    Bytes all = encoded(value_of("[alpha beta alpha]"), true);
    EXPECT_EQ(all[7], zelbin::FLAG_COMPACT | zelbin::FLAG_SYMBOLS);
    std::string names(all.begin(), all.end());
    EXPECT_NE(names.find(std::string("alpha\0beta\0", 11)), std::string::npos);
    EXPECT_EQ(names.find("alpha"), names.rfind("alpha")) << "one spelling per symbol";
}

// ---- Shared series and contexts -------------------------------------------------------------------------

// The second meeting is a shared record with the path {0, 0}: the block's
// own position, then the first series' position inside it. A vector keeps
// its item type.
TEST(Zelbin, ASeriesMetTwiceIsWrittenOnceAndSharedBack) {
    struct Case {
        const char* code;
        const char* second;
        const char* twice;
        Bytes payload;
    };
    const Case cases[] = {
        {"s: \"text\" reduce [s next s]", "\"ext\"", "s: \"t\" reduce [s s]",
         {TYPE_BLOCK, 2, TYPE_STRING, 4, 't', 0xC1, TYPE_STRING, 2, 0, 0}},
        {"v: make vector! [integer! 16 [1 2 3]] reduce [v next v]", "make vector! [integer! 16 [2 3]]",
         "v: make vector! [integer! 8 [7]] reduce [v v]",
         {TYPE_BLOCK, 2, TYPE_VECTOR, TYPE_INTEGER * 4, 1, 7, 0xC1, TYPE_VECTOR, 2, 0, 0}},
    };
    for (const Case& c : cases) {
        Cell value = value_of(c.code);
        for (bool compact : {true, false}) {
            SCOPED_TRACE(std::string(c.code) + (compact ? " compact" : " fixed"));
            Cell back = round_trip(value, compact);
            ASSERT_EQ(total_cells(back), 2);
            Cell first = cells_of(back)[0], second = cells_of(back)[1];
            EXPECT_EQ(first.data2, second.data2) << "one series";
            EXPECT_EQ(second.data1, 1u);
            EXPECT_EQ(second.data3, cells_of(value)[1].data3);
            EXPECT_EQ(shown(second), c.second);
        }
        EXPECT_EQ(payload_of(value_of(c.twice)), c.payload) << c.twice;
    }
}

TEST(Zelbin, ABlockThatHoldsItselfReadsBackHoldingItself) {
    Cell value = value_of("b: copy [1] append/only b b b");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        ASSERT_EQ(total_cells(back), 2);
        EXPECT_EQ(cells_of(back)[1].data2, back.data2);
    }
    EXPECT_EQ(payload_of(value), (Bytes{TYPE_BLOCK, 2, 0x81, 0xC1, TYPE_BLOCK, 1, 0}));
}

TEST(Zelbin, ObjectsKeepTheirFieldsAndTheWordsBoundToThem) {
    Cell value = value_of("o: make object! [a: 1 b: \"x\" c: [a b] d: none] o/d: o o");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        ASSERT_EQ(type_of(&back), TYPE_OBJECT);
        EXPECT_EQ(object::count_words(&back), 4);
        Cell* fields = object::get_values(&back);
        EXPECT_EQ(shown(fields[0]), "1");
        EXPECT_EQ(shown(fields[1]), "\"x\"");
        Cell c = fields[2];
        EXPECT_EQ(cells_of(c)[0].data1, back.data1) << "a bound to the decoded object";
        EXPECT_EQ(cells_of(c)[1].data1, back.data1);
        EXPECT_EQ(fields[3].data1, back.data1) << "the object inside itself";
        EXPECT_EQ(int32_t(back.data2), -1) << "a decoded object's class";
    }
}

TEST(Zelbin, AWordOfAnObjectBringsItsObjectAlong) {
    Cell value = value_of("o: make object! [x: 10 y: 'x] reduce [in o 'y in o 'x]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        Cell y = cells_of(back)[0], x = cells_of(back)[1];
        EXPECT_EQ(y.data1, x.data1) << "one context";
        EXPECT_EQ(shown(*context::get(&x)), "10");
        EXPECT_EQ(context::get(&y)->data1, y.data1) << "the lit-word in the field is bound there too";
    }
}

TEST(Zelbin, ObjectsKeepTheirChangeHandlers) {
    Cell value = value_of("make object! [a: 1 on-change*: func [w o n] [zb-seen: reduce [w o n]]]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        EXPECT_NE(back.data3, 0u) << "a change-handler record";
        set_global("zb-object", back);
        EXPECT_EQ(eval("zb-object/a: 5 zb-seen"), "[a 1 5]");
    }
}

TEST(Zelbin, FunctionsComeBackCallable) {
    Cell value = value_of("func [n [integer!] /twice] [either twice [n * 2] [n + 1]]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        ASSERT_EQ(type_of(&back), TYPE_FUNCTION);
        set_global("zb-f", back);
        EXPECT_EQ(eval("zb-f 41"), "42");
        EXPECT_EQ(eval("zb-f/twice 21"), "42");
        EXPECT_EQ(shown(back), shown(value));
    }
}

TEST(Zelbin, NativesActionsAndOperatorsAreTheRunTimesOwn) {
    for (const char* code : {":append", ":if", ":+", ":=", ":make"}) {
        Cell value = value_of(code);
        for (bool compact : {true, false}) {
            Cell back = round_trip(value, compact);
            EXPECT_EQ(type_of(&back), type_of(&value)) << code;
            EXPECT_EQ(back.data1, value.data1) << code;
            EXPECT_EQ(back.header, value.header) << code;
        }
    }
    // A native's spec is written in full: a later copy of it is a block of
    // its own, never a reference into the native.
    Cell with_spec = value_of("reduce [:if reflect :if 'spec]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(with_spec, compact);
        EXPECT_EQ(shown(cells_of(back)[1]), shown(cells_of(with_spec)[1]));
        EXPECT_EQ(type_of(cells_of(back) + 1), TYPE_BLOCK);
    }
    set_global("zb-plus", round_trip(value_of(":+"), true));
    EXPECT_EQ(eval("1 zb-plus 2"), "3");
    Cell op = value_of("make op! func [a b] [a - b]");
    set_global("zb-minus", round_trip(op, true));
    EXPECT_EQ(eval("10 zb-minus 4"), "6");
}

TEST(Zelbin, ErrorsKeepTheirIdAndArguments) {
    Cell value = value_of("try [1 / 0]");
    for (bool compact : {true, false}) {
        Cell back = round_trip(value, compact);
        ASSERT_EQ(type_of(&back), TYPE_ERROR);
        EXPECT_EQ(mold_of(back), mold_of(value));
        EXPECT_EQ(error_of([&] { exits::throw_error(&back); }), "math/zero-divide");
    }
}

// ---- Refused values ---------------------------------------------------------------------------------

TEST(Zelbin, ValuesWithoutACodecAreRefused) {
    Cell handle, triple;
    cell::set(&handle, TYPE_HANDLE, 0, 1);
    cell::set(&triple, TYPE_TRIPLE);
    for (const Cell& v : {handle, triple}) {
        Cell block = held(block_of({integer(1), v}));
        for (bool compact : {true, false}) {
            Cell result = none::g_none;
            EXPECT_EQ(error_of([&] {
                          zelbin::Options options;
                          options.compact = compact;
                          zelbin::encode(&block, options, &result);
                      }),
                      "access/no-codec");
            EXPECT_EQ(type_of(&result), TYPE_NONE) << "no partial output";
        }
    }
}

TEST(Zelbin, TooDeepANestingIsRefusedBothWays) {
    Cell deep = value_of("b: copy [] loop 1200 [b: reduce [b]] b");
    EXPECT_EQ(error_of([&] { encoded(deep, true); }), "internal/too-deep");
    Bytes stream = {'Z', 'E', 'L', 'B', 'I', 'N', 2, 1, 1};
    Bytes payload;
    for (int i = 0; i < 1200; i++) payload.insert(payload.end(), {TYPE_BLOCK, 1});
    payload.push_back(0x80);
    stream.insert(stream.end(), {uint8_t(0x80 | (payload.size() & 0x7F)), uint8_t(payload.size() >> 7)});
    stream.insert(stream.end(), payload.begin(), payload.end());
    EXPECT_EQ(error_of([&] { decoded(stream); }), "internal/too-deep");
}

// ---- Damaged streams ------------------------------------------------------------------------------------

// A compact stream of the payload, with a symbol table when names are given.
Bytes stream(const Bytes& payload, const std::vector<std::string>& names = {}) {
    Bytes s = {'Z', 'E', 'L', 'B', 'I', 'N', 2, uint8_t(names.empty() ? 1 : 5), 1};
    auto varint = [&](uint32_t v) {
        while (v >= 0x80) {
            s.push_back(uint8_t(v | 0x80));
            v >>= 7;
        }
        s.push_back(uint8_t(v));
    };
    varint(uint32_t(payload.size()));
    if (!names.empty()) {
        Bytes area;
        varint(uint32_t(names.size()));
        for (const std::string& n : names) {
            uint32_t offset = uint32_t(area.size());
            for (int i = 0; i < 4; i++) s.push_back(uint8_t(offset >> (8 * i)));
            area.insert(area.end(), n.begin(), n.end());
            area.push_back(0);
        }
        Bytes head(s.begin(), s.end() - 4 * int(names.size()));
        Bytes offsets(s.end() - 4 * int(names.size()), s.end());
        s = head;
        varint(uint32_t(area.size()));
        s.insert(s.end(), offsets.begin(), offsets.end());
        s.insert(s.end(), area.begin(), area.end());
    }
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}

// Bytes from outside never decide how a native takes its arguments: the
// decoded native is the run-time's own, whatever spec the stream gives.
TEST(Zelbin, ANativeFromAStreamTakesTheRunTimesSpec) {
    Cell back = cells_of(decoded(stream({TYPE_NATIVE, 1, TYPE_BLOCK, 0})))[0];
    Cell own = value_of(":if");
    EXPECT_EQ(back.data2, own.data2);
    set_global("zb-if", back);
    EXPECT_EQ(eval("zb-if true [7]"), "7");
}

TEST(Zelbin, DamagedStreamsGiveTheirErrors) {
    const std::string invalid = "script/zb-invalid-record";
    struct Case {
        const char* what;
        Bytes bytes;
        std::string error;
    };
    Bytes good = stream({0x81});
    Bytes bad_magic = good;
    bad_magic[0] = 'X';
    Bytes packed = good;
    packed[7] |= zelbin::FLAG_PACKED;
    Bytes unterminated = stream({TYPE_WORD, 0}, {"ab"});
    unterminated[unterminated.size() - 3] = 'c';  // the NUL after "ab"
    const Case cases[] = {
        {"a bad magic", bad_magic, "script/invalid-data"},
        {"a header cut short", Bytes(good.begin(), good.begin() + 6), "script/invalid-data"},
        {"a packed body", packed, "script/invalid-data"},
        {"a fixed body of 4 bytes", {'Z', 'E', 'L', 'B', 'I', 'N', 2, 0, 1, 0, 0, 0}, "script/invalid-data"},
        {"a payload size past the end", Bytes(good.begin(), good.end() - 1), invalid},
        {"a word with value in a codec stream", stream({0xC4, TYPE_WORD, 0, 0x81}, {"a"}), invalid},
        {"a varint beyond 32 bits", stream({TYPE_INTEGER, 0xFF, 0xFF, 0xFF, 0xFF, 0x10}), invalid},
        {"a varint of six bytes", stream({TYPE_CHAR, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}), invalid},
        {"a path index at the length", stream({TYPE_BLOCK, 2, 0x81, 0xFF, 2, 0, 1}), invalid},
        {"a path index past the top", stream({0xFF, 1, 0}), invalid},
        {"an empty path", stream({TYPE_BLOCK, 1, 0xFF, 0}), invalid},
        {"a date flag that disagrees", stream({TYPE_DATE, 0x81, 0x10, 0x01, 0x00}), invalid},
        {"a date in month 13", stream({TYPE_DATE, 0x80, 0xD0, 0x00, 0x00}), invalid},
        {"a string unit code 3", stream({TYPE_STRING, 0x07, 'a'}), invalid},
        {"a string longer than the data", stream({TYPE_STRING, 0xFC, 0xFF, 0xFF, 0xFF, 0x07, 'a'}), invalid},
        {"a code point past Unicode", stream({TYPE_STRING, 0x06, 0, 0, 0x11, 0}), invalid},
        {"a char past Unicode", stream({TYPE_CHAR, 0x80, 0x80, 0xC4, 0x00}), invalid},
        {"a tuple of 13 bytes", stream({TYPE_TUPLE | 0x40, 13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), invalid},
        {"a typeset of 13 bytes", stream({TYPE_TYPESET, 13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), invalid},
        {"money with a digit of 10", stream({TYPE_MONEY, 0, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), invalid},
        {"a block of two billion records", stream({TYPE_BLOCK, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x81}), invalid},
        {"a count past 31 bits", stream({TYPE_BLOCK, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}), invalid},
        {"a binary longer than the data", stream({TYPE_BINARY, 0x90, 0x4E, 1, 2}), invalid},
        {"a symbol index outside the table", stream({TYPE_WORD, 1}, {"a"}), invalid},
        {"a word with no symbol table", stream({TYPE_WORD, 0}), invalid},
        {"a names area without its last NUL", unterminated, invalid},
        {"a shared prefix on an integer", stream({0xC1, TYPE_INTEGER, 0x02}), invalid},
        {"a shared prefix on a small integer", stream({0xC1, 0x81}), invalid},
        {"a shared string over a block", stream({TYPE_BLOCK, 2, TYPE_BLOCK, 0, 0xC1, TYPE_STRING, 2, 0, 0}), invalid},
        {"a shared hash over a block", stream({TYPE_BLOCK, 2, TYPE_BLOCK, 0, 0xC1, TYPE_HASH, 2, 0, 0}), invalid},
        {"kind 0", stream({0x00}), invalid},
        {"logic! as a kind byte", stream({TYPE_LOGIC, 1}), invalid},
        {"symbol! as a kind", stream({TYPE_SYMBOL, 0}), invalid},
        {"an unknown type", stream({0x3F, 60}), invalid},
        {"an unused lead byte", stream({0xC5}), invalid},
        {"a datatype id of 0", stream({TYPE_DATATYPE, 0}), invalid},
        {"a datatype id past the last", stream({TYPE_DATATYPE, 99}), invalid},
        {"a routine!", stream({TYPE_ROUTINE, 0}), "access/no-codec"},
        {"an event!", stream({TYPE_EVENT, 0}), "access/no-codec"},
        {"an image wider than 65,535", stream({TYPE_IMAGE, 0x80, 0x80, 0x04, 1}), invalid},
        {"an image's pixels past the data", stream({TYPE_IMAGE, 2, 2, 1, 2, 3, 4}), invalid},
        {"a shared image", stream({TYPE_BLOCK, 2, TYPE_IMAGE, 0, 0, 0xC1, TYPE_IMAGE, 2, 0, 0}), invalid},
        {"a vector cut after its kind", stream({TYPE_VECTOR}), invalid},
        {"a vector of string items", stream({TYPE_VECTOR, TYPE_STRING * 4, 1, 'a'}), invalid},
        {"a vector of item type 0", stream({TYPE_VECTOR, 0, 1, 'a'}), invalid},
        {"a vector of 8-byte integers", stream({TYPE_VECTOR, TYPE_INTEGER * 4 + 3, 1, 1, 0, 0, 0, 0, 0, 0, 0}),
         invalid},
        {"a vector of 8-byte chars", stream({TYPE_VECTOR, TYPE_CHAR * 4 + 3, 1, 'a', 0, 0, 0, 0, 0, 0, 0}), invalid},
        {"a vector of 1-byte floats", stream({TYPE_VECTOR, TYPE_FLOAT * 4, 1, 0}), invalid},
        {"a vector of 2-byte percents", stream({TYPE_VECTOR, TYPE_PERCENT * 4 + 1, 1, 0, 0}), invalid},
        {"a vector count past the end", stream({TYPE_VECTOR, TYPE_INTEGER * 4 + 2, 2, 1, 0, 0, 0}), invalid},
        {"a vector of two billion items", stream({TYPE_VECTOR, TYPE_FLOAT * 4 + 3, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0}),
         invalid},
        {"a vector count past 31 bits", stream({TYPE_VECTOR, TYPE_CHAR * 4, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}), invalid},
        {"a vector char past Unicode", stream({TYPE_VECTOR, TYPE_CHAR * 4 + 2, 1, 0, 0, 0x11, 0}), invalid},
        {"a vector char below 0", stream({TYPE_VECTOR, TYPE_CHAR * 4 + 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}), invalid},
        {"a shared vector over a string",
         stream({TYPE_BLOCK, 2, TYPE_STRING, 4, 'a', 0xC1, TYPE_VECTOR, 2, 0, 0}), invalid},
        {"a shared string over a vector",
         stream({TYPE_BLOCK, 2, TYPE_VECTOR, TYPE_CHAR * 4, 1, 'a', 0xC1, TYPE_STRING, 2, 0, 0}), invalid},
        {"a path through a vector",
         stream({TYPE_BLOCK, 2, TYPE_VECTOR, TYPE_CHAR * 4, 1, 'a', 0xFF, 3, 0, 0, 0}), invalid},
        {"a native index of 0", stream({TYPE_NATIVE, 0, TYPE_BLOCK, 0}), invalid},
        {"a native index past the table", stream({TYPE_NATIVE, 108, TYPE_BLOCK, 0}), invalid},
        {"an action index past the actions", stream({TYPE_ACTION, 63, TYPE_BLOCK, 0}), invalid},
        {"a native whose spec is no block", stream({TYPE_NATIVE, 1, 0x81}), invalid},
        {"an op! of an integer", stream({TYPE_OP, 0x81}), invalid},
        {"a map of an odd count", stream({TYPE_MAP, 1, 0x81}), invalid},
        {"a map keyed by a block", stream({TYPE_MAP, 2, TYPE_BLOCK, 0, 0x81}), invalid},
        {"an unknown error code", stream({TYPE_ERROR, 0xE7, 0x07, 3, 3, 3, 3, 3, 3}), invalid},
        {"an object over a stack context",
         stream({TYPE_OBJECT, 0, TYPE_CONTEXT, 0x06, 1, 0}, {"a"}), invalid},
        {"a context with a word twice", stream({TYPE_CONTEXT, 0x02, 2, 0, 0}, {"a"}), invalid},
        {"a context with unknown flag bits", stream({TYPE_CONTEXT, 0x22, 0}), invalid},
        {"an object's values cut short", stream({TYPE_OBJECT, 0, TYPE_CONTEXT, 0x12, 2, 0, 1, 0x81}, {"a", "b"}),
         invalid},
        {"a handler index that names no handler",
         stream({TYPE_OBJECT | 0x40, 0, 0, 1, TYPE_CONTEXT, 0x12, 1, 0, 0x81}, {"a"}), invalid},
        {"a handler field holding no function",
         stream({TYPE_OBJECT | 0x40, 0, 0, 1, TYPE_CONTEXT, 0x12, 1, 0, 0x81}, {"on-change*"}), invalid},
        {"a word index past its context",
         stream({TYPE_WORD | 0x40, 0, 4, TYPE_OBJECT, 0, TYPE_CONTEXT, 0x02, 1, 0}, {"a"}), invalid},
        {"a word index naming another word",
         stream({TYPE_WORD | 0x40, 0, 0, TYPE_OBJECT, 0, TYPE_CONTEXT, 0x02, 2, 1, 0}, {"a", "b"}), invalid},
        {"a bound word whose owner is no object", stream({TYPE_WORD | 0x40, 0, 0, 0x81}, {"a"}), invalid},
        {"a function context that is not its spec's",
         stream({TYPE_FUNCTION, 1, 0, TYPE_CONTEXT, 0x05, 1, 1, TYPE_BLOCK, 1, TYPE_WORD, 0, TYPE_BLOCK, 0},
                {"a", "b"}),
         invalid},
        {"a function context with values",
         stream({TYPE_FUNCTION, 0, 0, TYPE_CONTEXT, 0x15, 0, TYPE_BLOCK, 0, TYPE_BLOCK, 0}), invalid},
        {"a function body that is no block",
         stream({TYPE_FUNCTION, 0, 0, TYPE_CONTEXT, 0x05, 0, TYPE_BLOCK, 0, TYPE_STRING, 0}), invalid},
    };
    for (const Case& c : cases) EXPECT_EQ(error_of([&] { decoded(c.bytes); }), c.error) << c.what;
}

// A fixed-form stream without symbols of the payload words.
Bytes fixed_stream(const std::vector<uint32_t>& words) {
    Bytes s = {'Z', 'E', 'L', 'B', 'I', 'N', 2, 0};
    auto put = [&](uint32_t w) {
        for (int i = 0; i < 4; i++) s.push_back(uint8_t(w >> (8 * i)));
    };
    put(1);
    put(uint32_t(words.size() * 4));
    for (uint32_t w : words) put(w);
    return s;
}

TEST(Zelbin, DamagedFixedFormVectorsAreRefused) {
    const std::string invalid = "script/zb-invalid-record";
    auto vector_header = [](uint32_t width) { return uint32_t(TYPE_VECTOR) | width << 8; };
    struct Case {
        const char* what;
        std::vector<uint32_t> words;
        std::string error;
    };
    const Case cases[] = {
        {"three bytes", {vector_header(1), 0, 3, TYPE_INTEGER, 0x00FF0201}, ""},
        {"a width of 3", {vector_header(3), 0, 1, TYPE_INTEGER, 1}, invalid},
        {"a width of 0", {vector_header(0), 0, 1, TYPE_INTEGER, 1}, invalid},
        {"8-byte integers", {vector_header(8), 0, 1, TYPE_INTEGER, 1, 0}, invalid},
        {"2-byte floats", {vector_header(2), 0, 1, TYPE_FLOAT, 1}, invalid},
        {"items of string!", {vector_header(1), 0, 1, TYPE_STRING, 1}, invalid},
        {"an item type past one byte", {vector_header(1), 0, 1, 0x100 | TYPE_INTEGER, 1}, invalid},
        {"a count past the end", {vector_header(4), 0, 2, TYPE_INTEGER, 1}, invalid},
        {"a count past 31 bits", {vector_header(1), 0, 0x80000000, TYPE_INTEGER, 1}, invalid},
        {"padding that is not zero", {vector_header(1), 0, 1, TYPE_INTEGER, 0x00000101}, invalid},
        {"a shared vector of its own width",
         {TYPE_BLOCK, 0, 2, vector_header(1), 0, 1, TYPE_INTEGER, 7, vector_header(1) | zelbin::FX_SHARED, 0, 0xFF, 2, 0,
          0},
         ""},
        {"a shared vector of another width",
         {TYPE_BLOCK, 0, 2, vector_header(1), 0, 1, TYPE_INTEGER, 7, vector_header(2) | zelbin::FX_SHARED, 0, 0xFF, 2, 0,
          0},
         invalid},
    };
    for (const Case& c : cases) EXPECT_EQ(error_of([&] { decoded(fixed_stream(c.words)); }), c.error) << c.what;
    Cell good = decoded(fixed_stream(cases[0].words));
    EXPECT_EQ(shown(cells_of(good)[0]), "make vector! [integer! 8 [1 2 -1]]");
}

TEST(Zelbin, TheErrorNamesTheBytePosition) {
    // magic 6, version, flags, record count, payload size: the payload's
    // first byte is byte 11, the bad kind byte after the prefix byte 12.
    ErrorThrow e = caught_error([&] { decoded(stream({0xC1, 0x81})); });
    EXPECT_EQ(shown(e.args[0]), "12");
    e = caught_error([&] { decoded(stream({TYPE_INTEGER, 0xFF, 0xFF, 0xFF, 0xFF, 0x10})); });
    EXPECT_EQ(shown(e.args[0]), "12") << "the varint's first byte";
    e = caught_error([&] { decoded(stream({TYPE_VECTOR, TYPE_STRING * 4, 1, 'a'})); });
    EXPECT_EQ(shown(e.args[0]), "12") << "a vector's item code";
    e = caught_error([&] { decoded(stream({TYPE_VECTOR, TYPE_INTEGER * 4 + 1, 2, 1, 0})); });
    EXPECT_EQ(shown(e.args[0]), "13") << "a vector's count";
}

TEST(Zelbin, TwoTopLevelRecordsDecodeIntoABlockOfTwo) {
    Bytes two = stream({0x81, 0x82});
    Cell bin = binary_of(two), result{};
    gc::root keep(&result);
    zelbin::load(&bin, &result);
    EXPECT_EQ(shown(result), "[1 2]");
    Bytes one = encoded(value_of("\"one value\""), true);
    bin = binary_of(one);
    zelbin::load(&bin, &result);
    EXPECT_EQ(shown(result), "\"one value\"");
    Bytes short_stream = stream({0x81});
    bin = binary_of(Bytes(short_stream.begin(), short_stream.begin() + 10));
    EXPECT_EQ(error_of([&] { zelbin::load(&bin, &result); }), "script/invalid-data") << "10 bytes or fewer";
}

// Every prefix of a valid stream is refused with an error, never read past.
TEST(Zelbin, EveryCutOfAStreamIsRefused) {
    Cell value = value_of(
        "o: make object! [a: [1 \"two\" 3.5] f: func [x] [x]] "
        "reduce [o 'word #{01} 10:00 o/a make vector! [integer! 8 [1 2 3]] make vector! [float! 64 [1.5]]]");
    for (bool compact : {true, false}) {
        Bytes all = encoded(value, compact);
        for (size_t n = 0; n < all.size(); n++) {
            Bytes cut(all.begin(), all.begin() + n);
            EXPECT_NE(error_of([&] { decoded(cut); }), "") << n << (compact ? " compact" : " fixed");
        }
    }
}

// ---- The boot image -------------------------------------------------------------------------------------

TEST(Zelbin, ABootImageDefinesWordsAndAppendsItsRoots) {
    zelbin::BootWriter writer;
    Cell word = word::load("zb-boot-answer");
    Cell answer = value_of("42"), if_word = word::load("zb-boot-if"), if_value = value_of(":if");
    writer.define(&word, &answer);
    writer.define(&if_word, &if_value);
    Cell source = value_of("[print \"library\" x: 1]"), second = value_of("\"second\"");
    writer.add(&source);
    writer.add(&second);
    Bytes image = writer.finish();
    EXPECT_EQ(image[6], zelbin::VERSION_BOOT);

    Cell root;
    block::make_at(&root, 4);
    Cell* kept = stack::push(&root);
    Cell filler = integer(7);
    block::append_cell(kept, &filler);
    int32_t first = zelbin::load_boot_image(image.data(), int64_t(image.size()), kept);
    EXPECT_EQ(first, 1);
    ASSERT_EQ(total_cells(*kept), 3) << "the words with values leave no cell";
    EXPECT_EQ(shown(cells_of(*kept)[1]), "[print \"library\" x: 1]");
    EXPECT_EQ(shown(cells_of(*kept)[2]), "\"second\"");
    EXPECT_TRUE(zelbin::library_code_q(cells_of(*kept)[1].data2));
    EXPECT_EQ(eval("zb-boot-answer"), "42");
    EXPECT_EQ(eval("zb-boot-if true [1]"), "1");
    stack::pop(1);
}

// Every word of the block, nested blocks and parens included, is bound
// where loading its spelling binds it, and keeps its type.
void expect_bound_as_loaded(const Cell& block, const Cell& source) {
    ASSERT_EQ(total_cells(block), total_cells(source));
    for (int32_t i = 0; i < total_cells(block); i++) {
        const Cell& got = cells_of(block)[i];
        const Cell& want = cells_of(source)[i];
        ASSERT_EQ(type_of(&got), type_of(&want)) << i;
        if (type_of(&got) == TYPE_BLOCK || type_of(&got) == TYPE_PAREN) {
            expect_bound_as_loaded(got, want);
        } else if (type_of(&got) >= TYPE_WORD && type_of(&got) <= TYPE_GET_WORD) {
            const char* spelling = symbol::c_string(got.data2);
            Cell loaded_word = word::load(spelling);
            EXPECT_STREQ(spelling, symbol::c_string(want.data2));
            EXPECT_EQ(got.data1, context::g_global) << spelling;
            EXPECT_EQ(got.data3, loaded_word.data3) << spelling;
        }
    }
}

TEST(Zelbin, ABootImageBindsEachGlobalWordAsLoadingItWould) {
    // The same words again and again, in every word type, in nested blocks,
    // in other letter cases, and a word given its value between two blocks
    // that name it.
    Cell first = value_of(
        "[zb-many zb-many: 'zb-many :zb-many [zb-many (ZB-Many zb-other) [zb-many]] zb-late ZB-MANY zb-other]");
    Cell second = value_of("[zb-late zb-many Zb-Late [zb-late: zb-other]]");
    Cell late = word::load("zb-late"), five = value_of("5");
    zelbin::BootWriter writer;
    writer.add(&first);
    writer.define(&late, &five);
    writer.add(&second);
    Bytes image = writer.finish();

    Cell root;
    block::make_at(&root, 4);
    Cell* kept = stack::push(&root);
    int32_t at = zelbin::load_boot_image(image.data(), int64_t(image.size()), kept);
    ASSERT_EQ(total_cells(*kept), at + 2);
    expect_bound_as_loaded(cells_of(*kept)[at], first);
    expect_bound_as_loaded(cells_of(*kept)[at + 1], second);
    EXPECT_EQ(eval("zb-late"), "5");
    stack::pop(1);
}

TEST(Zelbin, ABadBootImageEndsTheProcessWithAFailure) {
    Cell root;
    block::make_at(&root, 4);
    Bytes image = stream({0x81});
    image[0] = 'X';
    EXPECT_EXIT(zelbin::load_boot_image(image.data(), int64_t(image.size()), &root),
                ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace zel::test
