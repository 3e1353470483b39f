// Words: the six types made, bound, read, set, molded (with part limits),
// compared and converted; index?; names handed out as copies; the word check
// that stands in for the lexer's.
#include <climits>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

using namespace zel;
using namespace zel::test;

namespace {

const int WORD_TYPES[] = {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE};

std::string name_of(const Cell& w) { return symbol::c_string(symbol_of(w)); }

// Molds through the type's own handler with a part limit; answers the text
// and leaves the remaining limit in `left`.
std::string molded(Cell w, int part, int& left) {
    Cell out = buffer();
    left = datatype::handler<ACT_MOLD>(type_of(&w))(&w, &out, false, false, false, part, 0);
    return utf8_of(out);
}

std::string molded(Cell w) {
    int left = 0;
    return molded(w, INT_MAX, left);
}

std::string formed(Cell w) {
    Cell out = buffer();
    datatype::handler<ACT_FORM>(type_of(&w))(&w, &out, INT_MAX);
    return utf8_of(out);
}

Cell made(int type, Cell spec) {
    Cell result;
    cell::set(&result, TYPE_NONE);
    return *datatype::handler<ACT_MAKE>(type)(&result, &spec, type);
}

Cell logic_of(bool flag) {
    Cell c;
    logic::set(&c, flag);
    return c;
}

Cell char_of(uint32_t cp) {
    Cell c;
    cell::set(&c, TYPE_CHAR, 0, cp);
    return c;
}

}  // namespace

TEST(Words, AllSixTypesMoldWithTheirDecoration) {
    struct Case {
        int type;
        const char* mold;
    } cases[] = {{TYPE_WORD, "mold-me"},       {TYPE_SET_WORD, "mold-me:"},    {TYPE_LIT_WORD, "'mold-me"},
                 {TYPE_GET_WORD, ":mold-me"}, {TYPE_REFINEMENT, "/mold-me"}, {TYPE_ISSUE, "#mold-me"}};
    for (const Case& c : cases) {
        Cell w = word_named("mold-me", c.type);
        int left = 0;
        EXPECT_EQ(molded(w, 100, left), c.mold) << datatype::type_name(c.type);
        EXPECT_EQ(left, 100 - int(std::strlen(c.mold)));
        EXPECT_EQ(formed(w), "mold-me") << "form shows the bare name";
    }
}

TEST(Words, PartLimitsCountTheDecoration) {
    int left = 0;
    EXPECT_EQ(molded(word_named("x", TYPE_SET_WORD), 2, left), "x:");
    EXPECT_EQ(left, 0);
    EXPECT_EQ(molded(word_named("part-name", TYPE_LIT_WORD), 3, left), "'pa");
    EXPECT_EQ(left, 3 - 10);
    EXPECT_EQ(molded(word_named("part-name", TYPE_GET_WORD), 0, left), ":");
    EXPECT_EQ(left, -10);
    EXPECT_EQ(molded(word_named("part-name"), 4, left), "part");
    EXPECT_EQ(left, 4 - 9);
}

TEST(Words, SpellingsAreKeptByFormAndMold) {
    Cell upper = word::load("Kept-Spelling");
    Cell lower = word::load("kept-spelling");
    EXPECT_EQ(formed(upper), "Kept-Spelling");
    EXPECT_EQ(molded(lower), "kept-spelling");
    Cell wide = made(TYPE_WORD, text("\xC3\xA9t\xC3\xA9"));  // été
    EXPECT_EQ(formed(wide), "\xC3\xA9t\xC3\xA9");
}

TEST(Words, MadeByNameAreBoundGloballyWithAValueSlot) {
    for (int type : WORD_TYPES) {
        Cell w = word_named("bound-by-name", type);
        EXPECT_EQ(binding_of(w), context::g_global);
        EXPECT_GE(slot_of(w), 0);
    }
    Cell block = block_of({});
    Cell* in = word::make_from_name_in("made-in-block", &block);
    EXPECT_EQ(type_of(in), TYPE_WORD);
    EXPECT_EQ(total_cells(block), 1);
    EXPECT_EQ(name_of(cells_of(block)[0]), "made-in-block");
    Cell* pushed = word::push_global(symbol::make("PUSHED-GLOBAL"));
    EXPECT_EQ(slot_of(*pushed), slot_of(word::load("pushed-global")));
    stack::pop(1);
}

TEST(Words, EveryTypeReadsAndWritesTheOneSlotOfItsName) {
    Cell plain = word_named("every-type");
    for (int type : WORD_TYPES) {
        Cell w = word_named("every-type", type);
        Cell v = integer(type);
        context::set(&w, &v);
        EXPECT_EQ(cell::get_int(context::get(&plain)), type) << datatype::type_name(type);
    }
    // An issue made by name has no slot until it is set.
    Cell lazy = issue::load("every-type");
    EXPECT_EQ(error_of([&] { context::get(&lazy); }), "script/no-value");
    Cell v = integer(99);
    context::set(&lazy, &v);
    EXPECT_EQ(slot_of(lazy), slot_of(plain));
    EXPECT_EQ(cell::get_int(context::get(&plain)), 99);
}

TEST(Words, SetAndGetThroughTheirContext) {
    Cell w = word_named("set-get");
    Cell five = integer(5);
    Cell nothing;
    cell::set(&nothing, TYPE_UNSET);
    EXPECT_EQ(error_of([&] { word::get(&w); }), "script/no-value");
    Cell got = call_with({}, [&] { return get_word::get(&w); });
    EXPECT_EQ(type_of(&got), TYPE_UNSET) << "get-words read unset without complaint";

    Cell result = call_with({w, five}, [] { return word::set_checked(); });
    EXPECT_EQ(cell::get_int(&result), 5);
    got = call_with({}, [&] { return word::get(&w); });
    EXPECT_EQ(cell::get_int(&got), 5);

    ErrorThrow e = caught_error([&] { call_with({w, nothing}, [] { return word::set_checked(); }); });
    EXPECT_EQ(std::string(e.id_name()), "need-value");
    EXPECT_EQ(symbol_of(e.args[0]), symbol_of(w));
    got = call_with({}, [&] { return word::get(&w); });
    EXPECT_EQ(cell::get_int(&got), 5) << "the failed set changed nothing";
}

TEST(Words, SlotOperationsOfAContext) {
    Node ctx = context::create(2, false, false, nullptr, context::KIND_OBJECT);
    Cell a = word_named("slot-a"), one = integer(1), two = integer(2);
    context::add_word(ctx, &a, &one);
    EXPECT_EQ(cell::get_int(word::get_in(ctx, 0)), 1);
    Cell pushed = call_with({}, [&] { return word::push_value_at(ctx, 0); });
    EXPECT_EQ(cell::get_int(&pushed), 1);

    Cell stored = call_with({two}, [&] { return word::set_in(ctx, 0); });
    EXPECT_EQ(cell::get_int(&stored), 2);
    EXPECT_TRUE(context::changed_q(ctx, 0));
    Cell old = call_with({one}, [&] { return word::set_in_push(ctx, 0); });
    EXPECT_EQ(cell::get_int(&old), 2);
    EXPECT_EQ(cell::get_int(word::get_in(ctx, 0)), 1);

    Cell spec = block_of({word_named("slot-arg")});
    Node fn = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    ErrorThrow e = caught_error([&] { word::push_value_at(fn, 0); });
    EXPECT_EQ(std::string(e.id_name()), "not-defined");
    EXPECT_EQ(name_of(e.args[0]), "slot-arg");
}

TEST(Words, RetypedPushesKeepFlags) {
    Cell w = word_named("retyped");
    w.header |= FLAG_NEW_LINE;
    Cell* top = stack::top();
    EXPECT_EQ(lit_word::push(&w)->header, TYPE_LIT_WORD | FLAG_NEW_LINE);
    EXPECT_EQ(set_word::push(&w)->header, TYPE_SET_WORD | FLAG_NEW_LINE);
    EXPECT_EQ(issue::push(&w)->header, TYPE_ISSUE | FLAG_NEW_LINE);
    Node ctx = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    context::ensure_word(ctx, &w);
    Cell* local = refinement::push_local(ctx, 0);
    EXPECT_EQ(type_of(local), TYPE_REFINEMENT);
    EXPECT_EQ(binding_of(*local), ctx);
    stack::g_top = top;
}

TEST(Words, PushedNamesAreCopies) {
    Cell w = word_named("own-name");
    Cell name = *word::push_name(&w);
    stack::pop(1);
    EXPECT_EQ(utf8_of(name), "own-name");
    EXPECT_NE(node_of(name), symbol::name_string(symbol_of(w))) << "not the symbol's own buffer";
    string::append_char(string::buffer_of(&name), '!');
    string::poke_char(string::buffer_of(&name), 0, 'O');
    EXPECT_EQ(utf8_of(name), "Own-name!");
    EXPECT_EQ(formed(w), "own-name");
    EXPECT_EQ(symbol_of(word::load("own-name")), symbol_of(w));
}

TEST(Words, InContextOrGlobal) {
    Node ctx = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    Cell local = word_named("icg-local");
    context::ensure_word(ctx, &local);
    EXPECT_EQ(binding_of(word::in_context_or_global(ctx, symbol_of(local))), ctx);
    Cell other = word::in_context_or_global(ctx, symbol::make("ICG-LOCAL"));  // exact id only
    EXPECT_EQ(binding_of(other), context::g_global);
    EXPECT_EQ(symbol_of(other), symbol::make("ICG-LOCAL"));
}

TEST(Words, CompareUnderEachCode) {
    Cell abc = word_named("cw-abc"), upper = word_named("CW-ABC"), other = word_named("cw-abd");
    Cell lit = word_named("cw-abc", TYPE_LIT_WORD), lit_upper = word_named("CW-ABC", TYPE_LIT_WORD);
    Cell set = word_named("cw-abc", TYPE_SET_WORD), issue = word_named("cw-abc", TYPE_ISSUE);
    Cell elsewhere = abc;
    elsewhere = bound_to(elsewhere, context::create(1, false, false, nullptr, context::KIND_OBJECT), slot_of(elsewhere));
    Cell number = integer(1);
    using namespace compare;
    struct Case {
        const char* what;
        Cell a, b;
        int op, expected;
    } cases[] = {
        {"any case", abc, upper, COMP_EQUAL, 0},
        {"any case, find", abc, upper, COMP_FIND, 0},
        {"not equal", abc, other, COMP_NOT_EQUAL, 1},
        {"types differ, equal", abc, set, COMP_EQUAL, 0},
        {"strict: spelling", abc, upper, COMP_STRICT_EQUAL, 1},
        {"strict: type", abc, lit, COMP_STRICT_EQUAL, 1},
        {"strict", abc, abc, COMP_STRICT_EQUAL, 0},
        {"same: context", abc, elsewhere, COMP_SAME, 1},
        {"same", abc, abc, COMP_SAME, 0},
        {"word/lit-word exact", abc, lit, COMP_EQUAL_WORD, 0},
        {"lit-word/word exact", lit, abc, COMP_EQUAL_WORD, 0},
        {"word/lit-word exact, case", abc, lit_upper, COMP_EQUAL_WORD, 1},
        {"word/set-word exact", abc, set, COMP_EQUAL_WORD, 1},
        {"word/lit-word any case", abc, lit_upper, COMP_EQUAL_WORD_CI, 0},
        {"set/word any case", set, upper, COMP_EQUAL_WORD_CI, 1},
        {"ordering", abc, other, COMP_LESSER, -1},
        {"ordering folds", upper, other, COMP_SORT, -1},
        {"case sort", upper, abc, COMP_CASE_SORT, -1},
        {"word against issue", abc, issue, COMP_EQUAL, -2},
        {"issue against word", issue, abc, COMP_EQUAL, -2},
        {"set-word against word", set, abc, COMP_EQUAL, 0},
        {"not a word", abc, number, COMP_EQUAL, -2},
    };
    for (Case& c : cases) {
        auto compare = datatype::handler<ACT_COMPARE>(type_of(&c.a));
        EXPECT_EQ(compare(&c.a, &c.b, c.op), c.expected) << c.what;
    }
    Cell issue2 = word_named("CW-ABC", TYPE_ISSUE);
    EXPECT_EQ(issue::compare(&issue, &issue2, COMP_EQUAL), 0);
    EXPECT_EQ(issue::compare(&issue, &abc, COMP_EQUAL), -2);
}

TEST(Words, IndexAnswersThePositionOrNone) {
    auto index = datatype::handler<ACT_INDEX_Q>(TYPE_WORD);
    Cell w = word_named("index-me");
    Cell r = call_with({w}, index);
    EXPECT_EQ(type_of(&r), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&r), slot_of(w) + 1);
    Cell lazy = w;
    lazy = bound_to(lazy, binding_of(lazy), -1);
    r = call_with({lazy}, index);
    EXPECT_EQ(type_of(&r), TYPE_NONE);
    for (int type : {TYPE_LIT_WORD, TYPE_SET_WORD, TYPE_GET_WORD})
        EXPECT_EQ(datatype::handler<ACT_INDEX_Q>(type), index) << datatype::type_name(type);
    EXPECT_EQ(datatype::handler<ACT_INDEX_Q>(TYPE_REFINEMENT), nullptr);
    EXPECT_EQ(datatype::handler<ACT_INDEX_Q>(TYPE_ISSUE), nullptr);
}

TEST(Words, MadeFromOtherValues) {
    Cell from_string = made(TYPE_WORD, text("to-word"));
    EXPECT_EQ(type_of(&from_string), TYPE_WORD);
    EXPECT_EQ(name_of(from_string), "to-word");
    EXPECT_EQ(binding_of(from_string), context::g_global);
    EXPECT_EQ(slot_of(from_string), slot_of(word::load("to-word")));

    Cell from_issue = made(TYPE_WORD, word_named("to-issue", TYPE_ISSUE));
    EXPECT_EQ(from_issue.header, uint32_t(TYPE_WORD));
    EXPECT_EQ(name_of(from_issue), "to-issue");
    EXPECT_GE(slot_of(from_issue), 0) << "bound to its global slot";
    Cell from_refinement = made(TYPE_SET_WORD, words::refinement(words::Ref::part));
    EXPECT_EQ(from_refinement.header, uint32_t(TYPE_SET_WORD));
    EXPECT_EQ(name_of(from_refinement), "part");

    EXPECT_EQ(name_of(made(TYPE_WORD, logic_of(true))), "true");
    EXPECT_EQ(name_of(made(TYPE_LIT_WORD, logic_of(false))), "false");
    Cell type_word = made(TYPE_WORD, datatype_of(TYPE_STRING));
    EXPECT_EQ(name_of(type_word), "string!");
    EXPECT_EQ(binding_of(type_word), context::g_global);
    EXPECT_EQ(name_of(made(TYPE_WORD, char_of('q'))), "q");
    Cell flagged = word_named("flagged", TYPE_SET_WORD);
    flagged.header |= FLAG_NEW_LINE;
    EXPECT_EQ(made(TYPE_GET_WORD, flagged).header, uint32_t(TYPE_GET_WORD)) << "the header is the target type";
}

TEST(Words, MakeRefusesWhatIsNoWord) {
    struct Case {
        const char* what;
        Cell spec;
        const char* error;
    } cases[] = {
        {"two words", text("two words"), "script/invalid-chars"},
        {"a number", text("12"), "script/invalid-chars"},
        {"issue of a number", word_named("1", TYPE_ISSUE), "script/bad-to-arg"},
        {"an integer", integer(3), "script/bad-to-arg"},
        {"a block", block_of({}), "script/bad-to-arg"},
        {"a datatype without a name", datatype_of(TYPE_ROWS - 1), "script/bad-to-arg"},
    };
    for (Case& c : cases) EXPECT_EQ(error_of([&] { made(TYPE_WORD, c.spec); }), c.error) << c.what;
    ErrorThrow e = caught_error([] { made(TYPE_WORD, integer(3)); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_WORD);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_INTEGER);
}

TEST(Words, IssuesTakeAnyTextAsTheirName) {
    Cell from_text = made(TYPE_ISSUE, text("1x"));
    EXPECT_EQ(type_of(&from_text), TYPE_ISSUE);
    EXPECT_EQ(name_of(from_text), "1x");
    EXPECT_EQ(binding_of(from_text), context::g_global);
    EXPECT_EQ(slot_of(from_text), -1);
    Cell tail = text("head-tail");
    tail = at_head(tail, 5);
    EXPECT_EQ(name_of(made(TYPE_ISSUE, tail)), "tail");
    EXPECT_EQ(name_of(made(TYPE_ISSUE, char_of(0xE9))), "\xC3\xA9");
    EXPECT_EQ(name_of(made(TYPE_ISSUE, word_named("from-word"))), "from-word");
    EXPECT_EQ(name_of(made(TYPE_ISSUE, logic_of(true))), "true");
    EXPECT_EQ(error_of([] { made(TYPE_ISSUE, integer(1)); }), "script/bad-to-arg");
}

TEST(Words, StandInWordCheck) {
    struct Case {
        const char* text;
        int type;
    } cases[] = {
        {"abc", TYPE_WORD},       {"abc:", TYPE_SET_WORD},   {":abc", TYPE_GET_WORD},
        {"'abc", TYPE_LIT_WORD},  {"/abc", TYPE_REFINEMENT}, {"#abc", TYPE_ISSUE},
        {"+", TYPE_WORD},         {"any-type!", TYPE_WORD},  {"\xC3\xA9t\xC3\xA9", TYPE_WORD},
        {"", 0},                  {"1abc", 0},               {"-1", 0},
        {".5", 0},                {"a b", 0},                {"a[b", 0},
        {"a/b", 0},               {"a:b", 0},                {"'a:", 0},
        {"\"a\"", 0},             {"a;b", 0},                {":", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(word::plain_name_type(bytes(c.text), int32_t(std::strlen(c.text))), c.type) << c.text;
}

namespace {
int everything_is_a_word(const uint8_t*, int32_t) { return TYPE_WORD; }
}  // namespace

TEST(Words, TheLexersWordCheckIsUsedOnceSet) {
    word::g_name_check = everything_is_a_word;
    Cell w = made(TYPE_WORD, text("1 2"));
    word::g_name_check = nullptr;
    EXPECT_EQ(name_of(w), "1 2");
    EXPECT_EQ(error_of([] { made(TYPE_WORD, text("1 2")); }), "script/invalid-chars");
}

TEST(Words, DecoratedTextLoadsAsItsWord) {
    struct Case {
        const char* text;
        const char* name;
    } cases[] = {{"dec-a:", "dec-a"}, {":dec-b", "dec-b"}, {"'dec-c", "dec-c"},
                 {"/dec-d", "dec-d"}, {"#dec-e", "dec-e"}, {"  dec-f\n", "dec-f"}};
    for (const Case& c : cases) {
        Cell w = made(TYPE_WORD, text(c.text));
        EXPECT_EQ(type_of(&w), TYPE_WORD);
        EXPECT_EQ(name_of(w), c.name) << c.text;
    }
}
