// typeset!: the bit layout, make and its errors, spec type blocks, set
// operations, find, complement, comparison, and the text of form and mold.
#include <algorithm>
#include <climits>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/symbol.h"

using namespace zel;
using namespace zel::test;

namespace {

Cell typeset_of(std::initializer_list<int> types) {
    Cell ts;
    typeset::make_at(&ts);
    for (int t : types) typeset::include(&ts, t);
    return ts;
}

// A global word holding the value, as the boot image defines datatype words.
Cell word_holding(const char* name, Cell value) {
    Cell w = word_named(name);
    context::set(&w, &value);
    return w;
}

Cell made(Cell spec) {
    Cell result;
    cell::set(&result, TYPE_NONE);
    return *typeset::make(&result, &spec, TYPE_TYPESET);
}

std::string molded(Cell ts, int part, int& left) {
    Cell out = buffer();
    left = typeset::mold(&ts, &out, false, false, false, part, 0);
    return utf8_of(out);
}

std::string formed(Cell ts, int& left, const char* before = "") {
    Cell out = text(before);
    left = typeset::form(&ts, &out, INT_MAX);
    return utf8_of(out);
}

}  // namespace

TEST(Typesets, OneBitPerTypeIdMostSignificantFirst) {
    Cell ts = typeset_of({TYPE_DATATYPE, TYPE_BLOCK, TYPE_SYMBOL});
    EXPECT_EQ(typeset::count(&ts), 3);
    typeset::include(&ts, TYPE_EVENT);
    const uint8_t* b = typeset::bytes(&ts);
    EXPECT_EQ(b[0], 0x40 | 0x04);  // ids 1 and 5
    EXPECT_EQ(b[1], 0x80 >> 5);    // id 13
    EXPECT_EQ(b[6], 0x80 >> 6);    // id 54
    EXPECT_TRUE(typeset::has(&ts, TYPE_SYMBOL));
    EXPECT_FALSE(typeset::has(&ts, TYPE_CONTEXT));
    typeset::exclude(&ts, TYPE_SYMBOL);
    EXPECT_FALSE(typeset::has(&ts, TYPE_SYMBOL));

    Cell block = block_of({});
    Cell* raw = typeset::make_in(&block, 0x04000000, 0, 0);
    EXPECT_EQ(raw->header, uint32_t(TYPE_TYPESET));
    EXPECT_TRUE(typeset::has(raw, 29)) << "the payload words are bytes in memory order";
}

TEST(Typesets, MakeFromBlocksOfDatatypesTypesetsAndWords) {
    Cell any_word = word_holding("ts-any-word", typeset_of({TYPE_WORD, TYPE_SET_WORD}));
    Cell text_word = word_holding("ts-text", datatype_of(TYPE_STRING));
    Cell ts = made(block_of({datatype_of(TYPE_BLOCK), any_word, text_word}));
    EXPECT_EQ(ts.header, uint32_t(TYPE_TYPESET));
    EXPECT_EQ(typeset::count(&ts), 4);
    for (int t : {TYPE_BLOCK, TYPE_WORD, TYPE_SET_WORD, TYPE_STRING}) EXPECT_TRUE(typeset::has(&ts, t)) << t;

    Cell again = made(ts);
    EXPECT_EQ(typeset::compare(&again, &ts, compare::COMP_STRICT_EQUAL), 0) << "a typeset makes itself";
    Cell from_head = made(block_at({datatype_of(TYPE_NONE), datatype_of(TYPE_LOGIC)}, 1));
    EXPECT_EQ(typeset::count(&from_head), 1);
}

TEST(Typesets, MakeRefusesOtherValues) {
    Cell unset_word = word_named("ts-never-set");
    struct Case {
        const char* what;
        Cell spec;
        const char* error;
    } cases[] = {
        {"an integer", integer(1), "script/bad-to-arg"},
        {"a string item", block_of({text("integer!")}), "script/invalid-arg"},
        {"an unset word", block_of({unset_word}), "script/no-value"},
        {"a word naming a word", block_of({word_holding("ts-word-word", word_named("x"))}), "script/invalid-arg"},
    };
    for (Case& c : cases) EXPECT_EQ(error_of([&] { made(c.spec); }), c.error) << c.what;
    ErrorThrow e = caught_error([] { made(integer(1)); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_TYPESET);
}

TEST(Typesets, FromASpecTypeBlock) {
    Cell numbers = word_holding("ts-numbers", typeset_of({TYPE_INTEGER, TYPE_FLOAT}));
    Cell named = word_holding("ts-named", word_named("anything"));
    Cell types = block_of({datatype_of(TYPE_STRING), numbers, named, block_of({integer(1)})});
    Cell holder = block_of({});
    Cell* ts = typeset::make_from_spec_in(&holder, &types);
    EXPECT_EQ(total_cells(holder), 1);
    for (int t : {TYPE_STRING, TYPE_INTEGER, TYPE_FLOAT, TYPE_OBJECT}) EXPECT_TRUE(typeset::has(ts, t)) << t;
    EXPECT_EQ(typeset::count(ts), 4) << "blocks are skipped";

    Cell bad = block_of({text("x")});
    ErrorThrow e = caught_error([&] { typeset::make_from_spec_in(&holder, &bad); });
    EXPECT_EQ(std::string(e.id_name()), "invalid-type-spec");
    EXPECT_EQ(type_of(&e.args[0]), TYPE_STRING);
    Cell unset_word = block_of({word_named("ts-spec-unset")});
    EXPECT_EQ(error_of([&] { typeset::make_from_spec_in(&holder, &unset_word); }), "script/no-value");
}

TEST(Typesets, DefaultArgumentTypesetHoldsAllButUnset) {
    Cell holder = block_of({});
    Cell ts = *typeset::make_default_in(&holder);
    auto find = datatype::handler<ACT_FIND>(TYPE_TYPESET);
    auto found = [&](Cell value) {
        Cell series = ts;
        return *find(&series, &value, nullptr, false, false, false, false, nullptr, nullptr, false, false, false,
                     false);
    };
    Cell r = found(datatype_of(TYPE_UNSET));
    EXPECT_EQ(type_of(&r), TYPE_LOGIC);
    EXPECT_FALSE(logic::get(&r));
    r = found(datatype_of(TYPE_TYPESET));
    EXPECT_TRUE(logic::get(&r));
    EXPECT_EQ(error_of([&] { found(integer(1)); }), "script/invalid-arg");
}

TEST(Typesets, ComplementOfTheEmptySetHoldsEveryType) {
    Cell ts = typeset_of({});
    typeset::complement(&ts);
    EXPECT_EQ(typeset::count(&ts), datatype::g_highest_type);
    EXPECT_TRUE(typeset::has(&ts, TYPE_UNSET));
    typeset::complement(&ts);
    EXPECT_EQ(typeset::count(&ts), 0);
    EXPECT_EQ(datatype::handler<ACT_COMPLEMENT>(TYPE_TYPESET), typeset::complement);
}

TEST(Typesets, BitwiseActionsAcceptATypesetOrADatatype) {
    Cell ab = typeset_of({TYPE_BLOCK, TYPE_STRING}), bc = typeset_of({TYPE_STRING, TYPE_WORD});
    auto members = [](const Cell& ts) {
        std::vector<int> out;
        for (int t = 1; t <= datatype::g_highest_type; t++)
            if (typeset::has(&ts, t)) out.push_back(t);
        return out;
    };
    using V = std::vector<int>;
    auto or_ = datatype::handler<ACT_OR_T>(TYPE_TYPESET);
    auto and_ = datatype::handler<ACT_AND_T>(TYPE_TYPESET);
    auto xor_ = datatype::handler<ACT_XOR_T>(TYPE_TYPESET);
    EXPECT_EQ(members(call_with({ab, bc}, or_)), (V{TYPE_BLOCK, TYPE_STRING, TYPE_WORD}));
    EXPECT_EQ(members(call_with({ab, bc}, and_)), (V{TYPE_STRING}));
    EXPECT_EQ(members(call_with({ab, bc}, xor_)), (V{TYPE_BLOCK, TYPE_WORD}));
    EXPECT_EQ(members(call_with({ab, datatype_of(TYPE_NONE)}, or_)), (V{TYPE_NONE, TYPE_BLOCK, TYPE_STRING}));
    EXPECT_EQ(members(call_with({ab, datatype_of(TYPE_BLOCK)}, and_)), (V{TYPE_BLOCK}));
    EXPECT_EQ(call_with({ab, bc}, or_).header, uint32_t(TYPE_TYPESET));

    ErrorThrow e = caught_error([&] { call_with({ab, integer(3)}, or_); });
    EXPECT_EQ(std::string(e.id_name()), "invalid-arg");
    EXPECT_EQ(type_of(&e.args[0]), TYPE_INTEGER);
}

TEST(Typesets, SetOperationCodes) {
    Cell ab = typeset_of({TYPE_BLOCK, TYPE_STRING}), bc = typeset_of({TYPE_STRING, TYPE_WORD});
    auto run = [&](int op) {
        return call_with({ab, bc}, [op] { return typeset::do_bitwise(op); });
    };
    struct Case {
        int op;
        std::vector<int> members;
    } cases[] = {
        {typeset::OP_UNION, {TYPE_BLOCK, TYPE_STRING, TYPE_WORD}},
        {typeset::OP_INTERSECT, {TYPE_STRING}},
        {typeset::OP_DIFFERENCE, {TYPE_BLOCK, TYPE_WORD}},
        {typeset::OP_EXCLUDE, {TYPE_BLOCK}},
        {typeset::OP_UNIQUE, {TYPE_BLOCK, TYPE_STRING}},
    };
    for (const Case& c : cases) {
        Cell r = run(c.op);
        std::vector<int> got;
        for (int t = 1; t <= datatype::g_highest_type; t++)
            if (typeset::has(&r, t)) got.push_back(t);
        EXPECT_EQ(got, c.members) << "op " << c.op;
    }
    // unique needs no second set at all.
    Cell r = call_with({ab, integer(1)}, [] { return typeset::do_bitwise(typeset::OP_UNIQUE); });
    EXPECT_EQ(typeset::count(&r), 2);
}

TEST(Typesets, CompareMembersOrTheirCount) {
    Cell ab = typeset_of({TYPE_BLOCK, TYPE_STRING}), ab2 = typeset_of({TYPE_STRING, TYPE_BLOCK});
    Cell a = typeset_of({TYPE_WORD});
    Cell flagged = ab;
    flagged.header |= 0x00100000;  // an argument cache's kind bits
    using namespace compare;
    struct Case {
        Cell x, y;
        int op, expected;
    } cases[] = {
        {ab, ab2, COMP_STRICT_EQUAL, 0}, {ab, flagged, COMP_EQUAL, 0}, {ab, a, COMP_EQUAL, 1},
        {ab, a, COMP_NOT_EQUAL, 1},      {a, ab, COMP_SORT, -1},       {ab, a, COMP_CASE_SORT, 1},
        {ab, ab2, COMP_SORT, 0},         {ab, a, COMP_LESSER, -2},     {ab, integer(1), COMP_EQUAL, -2},
    };
    for (Case& c : cases) EXPECT_EQ(typeset::compare(&c.x, &c.y, c.op), c.expected) << "op " << c.op;
}

TEST(Typesets, MoldAndFormListTheNames) {
    int left = 0;
    EXPECT_EQ(molded(typeset_of({TYPE_WORD, TYPE_STRING}), 100, left), "make typeset! [string! word!]");
    EXPECT_EQ(left, 100 - 29);
    EXPECT_EQ(molded(typeset_of({}), 100, left), "make typeset! []");
    EXPECT_EQ(left, 100 - 16);
    EXPECT_EQ(formed(typeset_of({TYPE_WORD, TYPE_STRING}), left), "string! word!");
    EXPECT_EQ(left, INT_MAX - 13);
    EXPECT_EQ(formed(typeset_of({}), left, "kept "), "kept ") << "nothing of the text before is removed";
    EXPECT_EQ(left, INT_MAX);
    // A limit used up stops the names.
    EXPECT_EQ(molded(typeset_of({TYPE_NONE, TYPE_WORD, TYPE_STRING}), 20, left), "make typeset! [none!]");
    EXPECT_EQ(left, 20 - 15 - 6);
}

// Registers a bare type for the test when the run-time has no such type yet,
// and takes it away again.
class NamedType {
public:
    NamedType(int type, const char* name) : type_(type), added_(!datatype::registered(type)) {
        if (!added_) return;
        saved_highest_ = datatype::g_highest_type;
        datatype::register_type(datatype::TypeRecord(type, 0, name));
    }
    ~NamedType() {
        if (!added_) return;
        datatype::g_type_names[type_] = datatype::TypeName{};
        std::fill_n(&datatype::g_action_table[type_ << 8], 256, nullptr);
        datatype::g_highest_type = saved_highest_;
    }

private:
    int type_;
    bool added_;
    int saved_highest_ = 0;
};

TEST(Typesets, MoldOfIntegerAndFloat) {
    NamedType integer_type(TYPE_INTEGER, "integer!"), float_type(TYPE_FLOAT, "float!");
    Cell ts = made(block_of({word_holding("ts-integer", datatype_of(TYPE_INTEGER)),
                             word_holding("ts-float", datatype_of(TYPE_FLOAT))}));
    int left = 0;
    EXPECT_EQ(molded(ts, INT_MAX, left), "make typeset! [integer! float!]");
}

TEST(Typesets, ToBlockGivesTheNameWordsInIdOrder) {
    Cell ts = typeset_of({TYPE_WORD, TYPE_NONE, TYPE_STRING}), result;
    typeset::to_block(&ts, &result);
    ASSERT_EQ(type_of(&result), TYPE_BLOCK);
    ASSERT_EQ(total_cells(result), 3);
    const char* names[] = {"none!", "string!", "word!"};
    for (int i = 0; i < 3; i++) {
        Cell* w = cells_of(result) + i;
        EXPECT_EQ(type_of(w), TYPE_WORD);
        EXPECT_EQ(binding_of(*w), context::g_global);
        EXPECT_STREQ(symbol::c_string(symbol_of(*w)), names[i]);
    }
    Cell self = typeset_of({TYPE_STRING});
    typeset::to_block(&self, &self);
    EXPECT_EQ(total_cells(self), 1) << "the typeset may be its own result cell";
}
