// Symbols: interning with ASCII case aliases, spellings kept, lazy name
// strings, name ordering, and the predefined symbols and words.
#include <cstring>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

using namespace zel;
using namespace zel::test;

namespace {

std::string spelling(uint32_t id) { return symbol::c_string(id); }

uint32_t make_utf8(const std::string& s) {
    return symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(s.data()), int32_t(s.size()));
}

}  // namespace

TEST(Symbols, AsciiCaseVariantsShareOneCanonicalSymbolAndKeepTheirSpellings) {
    uint32_t upper = symbol::make("SYM-ABC");
    uint32_t lower = symbol::make("sym-abc");
    uint32_t mixed = symbol::make("Sym-Abc");
    EXPECT_NE(upper, lower);
    EXPECT_EQ(symbol::alias(upper), -1);
    EXPECT_EQ(symbol::alias(lower), int32_t(upper));
    EXPECT_EQ(symbol::alias(mixed), int32_t(upper));  // the canonical symbol, not the later variant
    EXPECT_EQ(symbol::resolve(lower), upper);
    EXPECT_EQ(symbol::resolve(upper), upper);
    EXPECT_EQ(symbol::make("SYM-ABC"), upper);
    EXPECT_EQ(symbol::make("sym-abc"), lower);
    EXPECT_EQ(spelling(upper), "SYM-ABC");
    EXPECT_EQ(spelling(lower), "sym-abc");
    EXPECT_EQ(spelling(mixed), "Sym-Abc");
}

TEST(Symbols, MakeAnyCaseAnswersAnExistingVariant) {
    uint32_t first = symbol::make("SYM-ANY");
    int before = symbol::count();
    EXPECT_EQ(symbol::make_any_case("Sym-Any"), first);
    EXPECT_EQ(symbol::make_any_case("sym-any"), first);
    EXPECT_EQ(symbol::count(), before);  // no new spelling made
    uint32_t fresh = symbol::make_any_case("sym-any-new");
    EXPECT_EQ(symbol::count(), before + 1);
    EXPECT_EQ(symbol::alias(fresh), -1);
}

TEST(Symbols, OnlyAsciiLettersFold) {
    uint32_t upper = make_utf8("\xC3\x89");  // É
    uint32_t lower = make_utf8("\xC3\xA9");  // é
    EXPECT_NE(upper, lower);
    EXPECT_EQ(symbol::alias(upper), -1);
    EXPECT_EQ(symbol::alias(lower), -1);
    EXPECT_NE(symbol::resolve(upper), symbol::resolve(lower));
    // Folded together with an ASCII letter in the same name, the rest still differs.
    uint32_t a = make_utf8("x\xC3\x89"), b = make_utf8("X\xC3\xA9");
    EXPECT_EQ(symbol::alias(b), -1);
    EXPECT_NE(symbol::resolve(a), symbol::resolve(b));
}

TEST(Symbols, NameStringIsMadeOnceFromTheUtf8Bytes) {
    uint32_t id = make_utf8("\xC3\x89t\xC3\xA9-name");  // Été-name
    EXPECT_EQ(symbol::entry(id)->data2, 0u) << "made lazily";
    Node name = symbol::name_string(id);
    ASSERT_NE(name, 0u);
    EXPECT_EQ(symbol::name_string(id), name) << "cached";
    Cell s;
    cell::set(&s, TYPE_STRING, 0, name);
    EXPECT_EQ(code_points(s), (std::vector<uint32_t>{0xC9, 't', 0xE9, '-', 'n', 'a', 'm', 'e'}));
    int32_t length = 0;
    symbol::utf8(id, length);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(std::strlen(symbol::c_string(id)), 10u);
}

TEST(Symbols, MadeFromStringsOfAnyUnitUpToALimit) {
    Cell wide = chars({'w', 0x439, 'd', 0x1F600}, 4);
    uint32_t id = symbol::make_from_string(&wide, -1);
    EXPECT_EQ(spelling(id), "w\xD0\xB9" "d\xF0\x9F\x98\x80");
    Cell text_from_head = text("head-tail");
    text_from_head = at_head(text_from_head, 5);
    EXPECT_EQ(spelling(symbol::make_from_string(&text_from_head, -1)), "tail");
    Cell limited = text("limited");
    EXPECT_EQ(spelling(symbol::make_from_string(&limited, 3)), "lim");
}

TEST(Symbols, NamesCompareAsTextUnderEachCode) {
    uint32_t abc = symbol::make("cmp-abc"), upper = symbol::make("CMP-ABC"), abd = symbol::make("cmp-abd");
    uint32_t b = symbol::make("cmp-B"), a = symbol::make("cmp-a"), longer = symbol::make("cmp-abcd");
    struct Case {
        uint32_t x, y;
        int op, expected;
    } cases[] = {
        {abc, upper, compare::COMP_EQUAL, 0},
        {abc, upper, compare::COMP_STRICT_EQUAL, 1},
        {abc, abd, compare::COMP_LESSER, -1},
        {abd, abc, compare::COMP_GREATER, 1},
        {abc, longer, compare::COMP_SORT, -1},
        {abc, longer, compare::COMP_EQUAL, 1},
        {a, b, compare::COMP_SORT, -1},       // folded: A before B
        {b, a, compare::COMP_CASE_SORT, -1},  // case-sensitive: B (0x42) before a (0x61)
        {abc, abc, compare::COMP_SAME, 0},
        {abc, upper, compare::COMP_SAME, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(symbol::compare_names(c.x, c.y, c.op), c.expected)
            << spelling(c.x) << " " << spelling(c.y) << " op " << c.op;
}

TEST(Symbols, SymbolCompareHandlerNeedsTwoSymbols) {
    uint32_t x = symbol::make("cmp-x"), y = symbol::make("CMP-X");
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_SYMBOL);
    Cell a = *symbol::entry(x), b = *symbol::entry(y), n = integer(1);
    EXPECT_EQ(compare(&a, &b, compare::COMP_EQUAL), 0);
    EXPECT_EQ(compare(&a, &b, compare::COMP_STRICT_EQUAL), 1);
    EXPECT_EQ(compare(&a, &n, compare::COMP_EQUAL), -2);
}

TEST(Symbols, AnyTypeIsRecognisedInAnyCase) {
    EXPECT_FALSE(symbol::any_type_q(&words::global_word(words::Sym::any)));
    Cell w = word_named("ANY-TYPE!");
    EXPECT_TRUE(symbol::any_type_q(&w));
}

// ---- Predefined symbols and words --------------------------------------------------

TEST(PredefinedWords, SymbolsWordsAndRefinementsHaveTheirNames) {
    EXPECT_EQ(spelling(words::symbol(words::Sym::self)), "self");
    EXPECT_EQ(spelling(words::symbol(words::Sym::bar)), "|");
    EXPECT_EQ(spelling(words::symbol(words::Sym::linux_)), "Linux");
    EXPECT_EQ(spelling(words::symbol(words::Word::anon)), "<anon>");
    EXPECT_EQ(spelling(words::symbol(words::Word::body)), "<body>");
    EXPECT_EQ(spelling(words::symbol(words::Word::on_deep_change_star)), "on-deep-change*");
    EXPECT_EQ(spelling(symbol_of(words::refinement(words::Ref::extern_))), "extern");
    EXPECT_EQ(spelling(symbol_of(words::ooo())), "ooo");
}

TEST(PredefinedWords, BindingFollowsTheirList) {
    // Symbols only: not in the global context.
    EXPECT_LT(context::find_word(context::g_global, words::symbol(words::Sym::julian), true), 0);
    // Some symbols are added to the global context by exact spelling.
    const Cell& windows = words::global_word(words::Sym::windows);
    EXPECT_EQ(type_of(&windows), TYPE_WORD);
    EXPECT_EQ(binding_of(windows), context::g_global);
    EXPECT_EQ(symbol_of(windows), words::symbol(words::Sym::windows));
    EXPECT_EQ(type_of(&words::global_word(words::Sym::julian)), TYPE_NONE);
    // Words are bound in the global context with a value slot.
    const Cell& at = words::word(words::Word::at);
    EXPECT_EQ(binding_of(at), context::g_global);
    EXPECT_GE(slot_of(at), 0);
    EXPECT_EQ(type_of(context::get(&at)), TYPE_UNSET);
    // Refinements are unbound; #ooo is an issue of the global context.
    const Cell& local = words::refinement(words::Ref::local);
    EXPECT_EQ(type_of(&local), TYPE_REFINEMENT);
    EXPECT_EQ(binding_of(local), 0u);
    EXPECT_EQ(type_of(&words::ooo()), TYPE_ISSUE);
    EXPECT_EQ(binding_of(words::ooo()), context::g_global);
    EXPECT_EQ(slot_of(words::ooo()), -1);
}

TEST(PredefinedWords, EveryOwnershipActionHasItsPredefinedWord) {
    int before = symbol::count();
    for (int a = 0; a <= int(ownership::LOWERCASE); a++) {
        auto action = ownership::Action(a);
        const Cell& w = words::ownership_word(action);
        EXPECT_EQ(type_of(&w), TYPE_WORD);
        EXPECT_EQ(binding_of(w), context::g_global);
        EXPECT_EQ(spelling(symbol_of(w)), ownership::action_name(action));
        EXPECT_EQ(symbol::make(ownership::action_name(action)), symbol_of(w));
    }
    EXPECT_EQ(symbol::count(), before) << "no action word was missing from the predefined lists";
    EXPECT_EQ(symbol_of(words::ownership_word(ownership::SWAPED)), words::symbol(words::Word::swaped));
    EXPECT_EQ(symbol_of(words::ownership_word(ownership::INSERT)), words::symbol(words::Sym::insert));
}

TEST(PredefinedWords, DatatypeNamesAreSymbolsOfGlobalWords) {
    for (int t = 1; t <= datatype::g_highest_type; t++) {
        if (!datatype::registered(t)) continue;
        uint32_t id = datatype::g_type_names[t].symbol;
        ASSERT_NE(id, 0u) << datatype::type_name(t);
        EXPECT_EQ(spelling(id), datatype::type_name(t));
        EXPECT_GE(context::find_word(context::g_global, id, false), 0) << datatype::type_name(t);
    }
}
