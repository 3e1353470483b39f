// Contexts: finding and adding words, growth with values in step, contexts
// from function specs, deep binding (self words, cycles), getting and setting
// values in series and on the argument stack, objects' change flags and
// notification, cloning, the global context's shared spellings, and word
// tables shared between contexts (copy on write, the table cache, binding).
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/stack.h"
#include "interpreter/object.h"
#include "scalars/simple_types.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

using namespace zel;
using namespace zel::test;

namespace {

uint32_t sym(const char* name) { return symbol::make(name); }

// A word of the symbol that is not bound anywhere yet.
Cell loose(const char* name, int type = TYPE_WORD) {
    Cell w;
    cell::set(&w, type, 0, sym(name), uint32_t(-1));
    return w;
}

int values_count(Node ctx) {
    return int(memory::series_of(context::cell_of(ctx)->data2)->used() / sizeof(Cell));
}

std::vector<std::string> word_names(Node ctx) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < context::word_count(ctx); i++)
        names.push_back(symbol::c_string(symbol_of(*context::word_at(ctx, i))));
    return names;
}

Node object_context(int slots = 4) { return context::create(slots, false, false, nullptr, context::KIND_OBJECT); }

}  // namespace

TEST(Contexts, CreatedWithTheirKindAndFlags) {
    struct Case {
        bool on_stack, self;
        int kind;
    } cases[] = {{false, false, context::KIND_GLOBAL}, {true, false, context::KIND_FUNCTION},
                 {false, true, context::KIND_OBJECT}};
    for (const Case& c : cases) {
        Node ctx = context::create(3, c.on_stack, c.self, nullptr, c.kind);
        EXPECT_EQ(type_of(context::cell_of(ctx)), TYPE_CONTEXT);
        EXPECT_EQ(context::kind_of(ctx), c.kind);
        EXPECT_EQ(context::on_stack(ctx), c.on_stack);
        EXPECT_EQ(context::self_q(ctx), c.self);
        EXPECT_EQ(type_of(context::owner_of(ctx)), TYPE_UNSET);
        EXPECT_EQ(context::word_count(ctx), 0);
        EXPECT_EQ(context::values_of(context::cell_of(ctx)) == nullptr, c.on_stack);
    }
}

TEST(Contexts, FindAddAndEnsureWords) {
    Node ctx = object_context();
    int32_t added = -9;
    EXPECT_EQ(context::find_word(ctx, sym("ctx-a"), true), -1);
    EXPECT_EQ(context::find_or_add_word(ctx, sym("ctx-a"), true, &added), -1);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(context::word_count(ctx), 1);
    EXPECT_EQ(values_count(ctx), 0) << "find-or-add leaves the values alone";
    EXPECT_EQ(context::find_or_add_word(ctx, sym("CTX-A"), true, &added), 0);  // any case: found
    EXPECT_EQ(added, 0);
    EXPECT_EQ(context::find_word(ctx, sym("CTX-A"), false), -1);  // exact: absent

    Node c2 = object_context();
    Cell a = loose("ctx-a"), b = loose("ctx-b");
    EXPECT_EQ(context::ensure_word(c2, &a), 0);
    EXPECT_EQ(context::ensure_word(c2, &b), 1);
    EXPECT_EQ(context::ensure_word(c2, &a), 0);
    EXPECT_EQ(values_count(c2), 2);
    EXPECT_EQ(slot_of(a), -1) << "the given word is not changed";

    Cell one = integer(1), two = integer(2);
    Cell c = loose("ctx-c");
    Cell* slot = context::add_word(c2, &c, &one);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(cell::get_int(slot), 1);
    EXPECT_EQ(context::add_word(c2, &c, &two), nullptr) << "already there";
    context::put(c2, &c, &two);
    Cell d = loose("ctx-d");
    context::put(c2, &d, &one);
    EXPECT_EQ(word_names(c2), (std::vector<std::string>{"ctx-a", "ctx-b", "ctx-c", "ctx-d"}));
    Cell* values = context::values_of(context::cell_of(c2));
    EXPECT_EQ(cell::get_int(values + 2), 2);
    EXPECT_EQ(cell::get_int(values + 3), 1);
}

TEST(Contexts, GrowFarPastTheirFirstSizeWithValuesInStep) {
    Node ctx = context::create(0, false, false, nullptr, context::KIND_OBJECT);  // room for 1
    EXPECT_GE(memory::series_of(context::cell_of(ctx)->data2)->capacity, int32_t(sizeof(Cell)));
    const int n = 5000;
    for (int i = 0; i < n; i++) {
        Cell w = loose(("grow-" + std::to_string(i)).c_str());
        Cell v = integer(i * 3);
        ASSERT_NE(context::add_word(ctx, &w, &v), nullptr) << i;
    }
    EXPECT_EQ(context::word_count(ctx), n);
    EXPECT_EQ(values_count(ctx), n);
    for (int i = 0; i < n; i += 7) {
        Cell w = loose(("GROW-" + std::to_string(i)).c_str());  // found in any case
        ASSERT_EQ(context::bind_word(ctx, &w), i);
        EXPECT_EQ(cell::get_int(context::get(&w)), i * 3);
        EXPECT_EQ(binding_of(*context::word_at(ctx, i)), ctx);
        EXPECT_EQ(slot_of(*context::word_at(ctx, i)), i);
    }
}

TEST(Contexts, FromAFunctionSpecTakeArgumentAndRefinementWordsOnly) {
    Cell spec = block_of({loose("spec-a"), loose("spec-b"), loose("spec-c", TYPE_REFINEMENT),
                          loose("spec-d", TYPE_LIT_WORD), text("doc"), loose("spec-e", TYPE_SET_WORD),
                          block_of({word_named("integer!")}), loose("spec-f", TYPE_GET_WORD)});
    Node ctx = context::make_from_spec(&spec, false, false, context::KIND_FUNCTION);
    EXPECT_EQ(word_names(ctx), (std::vector<std::string>{"spec-a", "spec-b", "spec-c", "spec-d", "spec-f"}));
    ASSERT_EQ(values_count(ctx), 5);
    for (int i = 0; i < 5; i++) EXPECT_EQ(type_of(context::values_of(context::cell_of(ctx)) + i), TYPE_UNSET);

    Node on_stack = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    EXPECT_EQ(context::word_count(on_stack), 5);
    EXPECT_EQ(context::values_of(context::cell_of(on_stack)), nullptr);
}

TEST(Contexts, BindDeeplyAllWordTypesButIssues) {
    Node ctx = object_context();
    for (const char* name : {"bind-a", "bind-b", "bind-c"}) {
        Cell w = loose(name);
        context::ensure_word(ctx, &w);
    }
    Cell inner = block_of({loose("BIND-A"), loose("bind-x")});
    Cell paren = block_of({loose("bind-b", TYPE_GET_WORD)});
    paren.header = TYPE_PAREN;
    Cell path = block_of({loose("bind-c"), loose("bind-a")});
    path.header = TYPE_SET_PATH;
    Cell outer = block_of({loose("bind-a"), loose("bind-b", TYPE_LIT_WORD), loose("bind-c", TYPE_REFINEMENT),
                           loose("bind-a", TYPE_SET_WORD), loose("bind-a", TYPE_ISSUE), inner, paren, path,
                           loose("bind-x")});
    context::bind(&outer, ctx, false);
    Cell* o = cells_of(outer);
    for (int i : {0, 1, 2, 3}) EXPECT_EQ(binding_of(o[i]), ctx) << i;
    EXPECT_EQ(slot_of(o[0]), 0);
    EXPECT_EQ(slot_of(o[1]), 1);
    EXPECT_EQ(slot_of(o[2]), 2);
    EXPECT_EQ(binding_of(o[4]), 0u) << "issues stay unbound";
    EXPECT_EQ(binding_of(o[8]), 0u) << "a word the context lacks stays as it was";
    EXPECT_EQ(binding_of(cells_of(inner)[0]), ctx);
    EXPECT_EQ(binding_of(cells_of(inner)[1]), 0u);
    EXPECT_EQ(binding_of(cells_of(paren)[0]), ctx);
    EXPECT_EQ(slot_of(cells_of(path)[1]), 0);
    EXPECT_EQ(context::word_count(ctx), 3) << "binding adds nothing";
}

TEST(Contexts, BindingABlockThatContainsItselfEnds) {
    Node ctx = object_context();
    Cell a = loose("loop-a");
    context::ensure_word(ctx, &a);
    Cell block = block_of({loose("loop-a")});
    *cell::alloc_tail(&block) = block;  // the block holds itself
    Cell nested = block_of({block});
    *cell::alloc_tail(&block) = nested;  // and a block that holds it
    context::bind(&block, ctx, false);
    EXPECT_EQ(binding_of(cells_of(block)[0]), ctx);
    EXPECT_EQ(cell::cycle_depth(), 0);
}

TEST(Contexts, SelfWordsReadTheOwnerAndAreNeverAdded) {
    Node ctx = context::create(2, false, true, nullptr, context::KIND_OBJECT);
    Cell owner;
    cell::set(&owner, TYPE_OBJECT, ctx, 7);
    *context::owner_of(ctx) = owner;
    Cell self = word_named("self");
    Cell self_lit = word_named("self", TYPE_LIT_WORD);
    Cell block = block_of({self, self_lit});
    context::bind(&block, ctx, true);
    Cell* w = cells_of(block);
    EXPECT_EQ(binding_of(w[0]), ctx);
    EXPECT_EQ(slot_of(w[0]), -1);
    EXPECT_EQ(context::get(&w[0]), context::owner_of(ctx));
    EXPECT_EQ(binding_of(w[1]), context::g_global) << "only word! self is the owner";
    EXPECT_EQ(context::word_count(ctx), 0);
}

TEST(Contexts, ReadingWithoutAValueSlotRaises) {
    Node ctx = object_context();
    Cell unknown = loose("read-unknown");
    unknown = bound_to(unknown, ctx, slot_of(unknown));
    EXPECT_EQ(error_of([&] { context::get(&unknown); }), "script/no-value");
    Cell unbound = loose("read-unbound");
    unbound = bound_to(unbound, binding_of(unbound), 0);
    EXPECT_EQ(error_of([&] { context::get(&unbound); }), "script/not-in-context");

    Cell spec = block_of({loose("read-arg")});
    Node fn = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    Cell arg = loose("read-arg");
    context::bind_word(fn, &arg);
    ErrorThrow e = caught_error([&] { context::get(&arg); });
    EXPECT_EQ(std::string(e.id_name()), "not-in-context");
    EXPECT_EQ(symbol_of(e.args[0]), symbol_of(arg));
    Cell one = integer(1);
    EXPECT_EQ(error_of([&] { context::set(&arg, &one); }), "script/not-defined");
}

TEST(Contexts, OnStackValuesAreTheRunningCallsArguments) {
    Cell spec = block_of({loose("stk-a"), loose("stk-b")});
    Node fn = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    Cell a = loose("stk-a"), b = loose("stk-b");
    context::bind_word(fn, &a);
    context::bind_word(fn, &b);

    Cell* saved_top = stack::top();
    Cell one = integer(1), two = integer(2);
    Cell* first = stack::push(&one);
    stack::push(&two);
    uint32_t before = context::frame_of(fn);
    context::set_frame(fn, first);
    EXPECT_EQ(context::get(&b), first + 1);
    Cell nine = integer(9);
    EXPECT_EQ(context::set(&a, &nine), first);
    EXPECT_EQ(cell::get_int(first), 9);

    // A nested call of the same function sees its own arguments.
    Cell three = integer(3);
    Cell* inner = stack::push(&three);
    stack::push(&three);
    uint32_t outer = context::frame_of(fn);
    context::set_frame(fn, inner);
    EXPECT_EQ(cell::get_int(context::get(&a)), 3);
    context::restore_frame(fn, outer);
    EXPECT_EQ(cell::get_int(context::get(&a)), 9);
    context::restore_frame(fn, before);
    stack::g_top = saved_top;
    EXPECT_EQ(context::values_of(context::cell_of(fn)), nullptr);
}

TEST(Contexts, SettingAnUnknownObjectFieldAddsItAndFlagsTheChange) {
    Node ctx = object_context();
    Cell field = loose("field-new");
    field = bound_to(field, ctx, slot_of(field));
    Cell seven = integer(7);
    Cell* slot = context::set(&field, &seven);
    EXPECT_EQ(slot_of(field), 0) << "the word learns its index";
    EXPECT_EQ(context::word_count(ctx), 1);
    EXPECT_EQ(cell::get_int(slot), 7);
    EXPECT_TRUE(context::changed_q(ctx, 0));

    // Function and global contexts carry no change flags.
    Cell g = word_named("field-global");
    context::set(&g, &seven);
    EXPECT_EQ(context::word_at(context::g_global, slot_of(g))->header & FLAG_FIELD_CHANGED, 0u);
    EXPECT_EQ(context::cell_of(context::g_global)->data3, 0u);
}

namespace {
struct Notice {
    int calls = 0;
    Cell owner, old_value, new_value;
    uint32_t symbol = 0;
} g_notice;

void remember_change(Cell* owner, const Cell* word, Cell* old_value, const Cell* new_value) {
    g_notice.calls++;
    g_notice.owner = *owner;
    g_notice.symbol = symbol_of(*word);
    g_notice.old_value = *old_value;
    g_notice.new_value = *new_value;
}
}  // namespace

TEST(Contexts, ObjectsWithAChangeHandlerAreToldOfEachSet) {
    Node ctx = object_context();
    Cell x = loose("notify-x");
    x = bound_to(x, ctx, slot_of(x));
    Cell one = integer(1), two = integer(2);
    context::set(&x, &one);
    context::g_on_change = remember_change;
    g_notice = Notice{};
    context::set(&x, &two);
    EXPECT_EQ(g_notice.calls, 0) << "no owner object yet";

    Cell owner;
    cell::set(&owner, TYPE_OBJECT, ctx, 1, 42);  // with a change-handler record
    *context::owner_of(ctx) = owner;
    Cell* top = stack::top();
    Cell three = integer(3);
    context::set(&x, &three);
    EXPECT_EQ(g_notice.calls, 1);
    EXPECT_EQ(g_notice.symbol, symbol_of(x));
    EXPECT_EQ(cell::get_int(&g_notice.old_value), 2);
    EXPECT_EQ(cell::get_int(&g_notice.new_value), 3);
    EXPECT_EQ(stack::top(), top);
    context::set_in(&x, &one, ctx, false);
    EXPECT_EQ(g_notice.calls, 1) << "not told without the notify flag";
    context::g_on_change = nullptr;
}

TEST(Contexts, ClonesCopyTheWordsAndRebindThem) {
    Node ctx = object_context();
    Cell a = loose("clone-a"), b = loose("clone-b"), v = integer(5);
    context::add_word(ctx, &a, &v);
    context::add_word(ctx, &b, &v);
    Cell object;
    cell::set(&object, TYPE_OBJECT, ctx);
    Node fresh = context::clone(&object, context::KIND_OBJECT);
    EXPECT_NE(fresh, ctx);
    EXPECT_EQ(object::context_of(&object), fresh);
    EXPECT_EQ(word_names(fresh), word_names(ctx));
    for (int i = 0; i < 2; i++) EXPECT_EQ(binding_of(*context::word_at(fresh, i)), fresh);
    EXPECT_EQ(binding_of(*context::word_at(ctx, 0)), ctx) << "the original keeps its words";
    EXPECT_EQ(values_count(fresh), 2);
    Cell c = loose("clone-c");
    context::ensure_word(fresh, &c);
    EXPECT_EQ(context::word_count(ctx), 2) << "the tables are separate";
    Cell found = loose("CLONE-B");
    EXPECT_EQ(context::bind_word(fresh, &found), 1);
}

TEST(Contexts, CollectSetWordsOnlyFromTheHead) {
    Node ctx = object_context();
    Cell block = block_at({loose("col-skipped", TYPE_SET_WORD), loose("col-a", TYPE_SET_WORD), integer(1),
                           loose("col-word"), loose("col-b", TYPE_SET_WORD), loose("COL-A", TYPE_SET_WORD)},
                          1);
    EXPECT_TRUE(context::collect_set_words(ctx, &block));
    EXPECT_EQ(word_names(ctx), (std::vector<std::string>{"col-a", "col-b"}));
    EXPECT_EQ(values_count(ctx), 2);
    EXPECT_FALSE(context::collect_set_words(ctx, &block));
    block = at_head(block, 40);
    EXPECT_FALSE(context::collect_set_words(ctx, &block));
    EXPECT_EQ(head_of(block), 6) << "a head past the tail is brought back to it";
}

TEST(GlobalContext, CaseVariantsShareOneValueCellAndKeepTheirSpellings) {
    Cell lower = word::load("glob-abc");
    Cell upper = word::load("GLOB-ABC");
    EXPECT_EQ(slot_of(lower), slot_of(upper));
    EXPECT_NE(symbol_of(lower), symbol_of(upper));
    Cell v = integer(11);
    context::set(&upper, &v);
    EXPECT_EQ(cell::get_int(context::get(&lower)), 11);
    EXPECT_EQ(std::string(symbol::c_string(symbol_of(upper))), "GLOB-ABC");
}

TEST(GlobalContext, ExactSpellingsShareTheValueOfTheEarliestWhicheverComesFirst) {
    // The alias spelling is added before its canonical one.
    uint32_t canonical = sym("glob-order"), variant = sym("GLOB-ORDER");
    Cell first = context::add_global(variant);
    Cell second = context::add_global(canonical);
    EXPECT_NE(context::find_word(context::g_global, canonical, false),
              context::find_word(context::g_global, variant, false))
        << "each spelling has its own word cell";
    EXPECT_EQ(slot_of(first), slot_of(second)) << "and one value cell";
    Cell v = integer(4);
    context::set(&second, &v);
    EXPECT_EQ(cell::get_int(context::get(&first)), 4);
    EXPECT_EQ(symbol_of(context::add_global(variant)), variant);
}

TEST(GlobalContext, FindOrAddGlobalGivesTheRequestedSpelling) {
    uint32_t a = sym("glob-fa"), b = sym("Glob-Fa");
    Cell w = context::find_or_add_global(a, true, true);
    Cell variant = context::find_or_add_global(b, true, true);
    EXPECT_EQ(symbol_of(variant), b);
    EXPECT_EQ(slot_of(variant), slot_of(w));
    Cell plain = context::find_or_add_global(b, true, false);
    EXPECT_EQ(symbol_of(plain), a) << "without copy-variant the stored word comes back";
    EXPECT_EQ(context::find_word(context::g_global, b, false), -1) << "nothing added";
}

TEST(GlobalContext, GetBySymbolUsesTheGlobalContextForFunctions) {
    Cell w = word_named("glob-by-symbol");
    Cell v = integer(8);
    context::set(&w, &v);
    Cell spec = block_of({});
    Node fn = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    EXPECT_EQ(cell::get_int(context::get_by_symbol(sym("GLOB-BY-SYMBOL"), fn)), 8);
    EXPECT_EQ(error_of([] { context::get_by_symbol(symbol::make("glob-never-added"), context::g_global); }),
              "script/no-value");
}

// ---- Shared word tables -------------------------------------------------------------------

namespace {

// An object context of the named words, each holding its position, and an
// object cell over it.
Cell object_of(const std::vector<const char*>& names) {
    Node ctx = object_context(int(names.size()));
    for (size_t i = 0; i < names.size(); i++) {
        Cell w = loose(names[i]), v = integer(int32_t(i));
        context::add_word(ctx, &w, &v);
    }
    Cell object;
    cell::set(&object, TYPE_OBJECT, ctx);
    return object;
}

// The context of a new object of the names.
Node object_node(const std::vector<const char*>& names) {
    Cell object = object_of(names);
    return object::context_of(&object);
}

Cell set_words_block(const std::vector<const char*>& names) {
    std::vector<Cell> cells;
    for (const char* name : names) {
        cells.push_back(loose(name, TYPE_SET_WORD));
        cells.push_back(integer(1));
    }
    return block_of(cells);
}

// The contexts these tests make are held by C++ alone: no collection runs
// while they work (the collector's part is tested through objects).
class SharedKeys : public ::testing::Test {
    collector::Pause pause_;
};

}  // namespace

TEST_F(SharedKeys, ACopyKeepsTheTableUntilEitherAddsAWord) {
    struct Case {
        const char* how;
        void (*add)(Node ctx);
    } cases[] = {
        {"ensure_word", [](Node ctx) { Cell w = loose("shk-new"); context::ensure_word(ctx, &w); }},
        {"add_word", [](Node ctx) { Cell w = loose("shk-new"), v = integer(9); context::add_word(ctx, &w, &v); }},
        {"put", [](Node ctx) { Cell w = loose("shk-new"), v = integer(9); context::put(ctx, &w, &v); }},
        {"set of an unknown word", [](Node ctx) {
             Cell w = loose("shk-new"), v = integer(9);
             context::set_in(&w, &v, ctx, false);
         }},
        {"collect_set_words", [](Node ctx) {
             Cell b = set_words_block({"shk-a", "shk-new"});
             context::collect_set_words(ctx, &b);
         }},
    };
    for (const Case& c : cases) {
        for (bool add_to_copy : {true, false}) {
            SCOPED_TRACE(std::string(c.how) + (add_to_copy ? " to the copy" : " to the original"));
            Cell original = object_of({"shk-a", "shk-b"});
            Cell copy = original;
            Node shared = context::share(&copy, context::KIND_OBJECT);
            Node ctx = object::context_of(&original);
            ASSERT_EQ(object::context_of(&copy), shared);
            EXPECT_EQ(context::word_table(shared), context::word_table(ctx));
            EXPECT_TRUE(context::shared_keys_q(ctx) && context::shared_keys_q(shared));
            EXPECT_EQ(binding_of(*context::word_at(ctx, 0)), 0u) << "a shared table's words name no context";
            EXPECT_EQ(values_count(shared), 2);

            Cell again = loose("SHK-B");
            context::ensure_word(shared, &again);  // present: nothing to copy
            EXPECT_EQ(context::word_table(shared), context::word_table(ctx));

            Node grown = add_to_copy ? shared : ctx, other = add_to_copy ? ctx : shared;
            Node table = context::word_table(other);
            c.add(grown);
            EXPECT_NE(context::word_table(grown), table);
            EXPECT_FALSE(context::shared_keys_q(grown));
            EXPECT_EQ(word_names(grown), (std::vector<std::string>{"shk-a", "shk-b", "shk-new"}));
            for (int32_t i = 0; i < 3; i++) EXPECT_EQ(binding_of(*context::word_at(grown, i)), grown);
            EXPECT_EQ(values_count(grown), 3);
            EXPECT_EQ(context::word_table(other), table) << "the other keeps the shared table";
            EXPECT_EQ(word_names(other), (std::vector<std::string>{"shk-a", "shk-b"}));
            EXPECT_EQ(context::find_word(other, sym("shk-new"), true), -1);
        }
    }
}

TEST_F(SharedKeys, ContextsOnTheStackOrOfManyWordsAreCopiedNotShared) {
    std::vector<std::string> names;
    for (int i = 0; i <= context::SHARED_WORDS; i++) names.push_back("shk-many-" + std::to_string(i));
    std::vector<const char*> pointers;
    for (const std::string& n : names) pointers.push_back(n.c_str());
    Cell big = object_of(pointers);
    Cell copy = big;
    Node fresh = context::share(&copy, context::KIND_OBJECT);
    EXPECT_NE(context::word_table(fresh), context::word_table(object::context_of(&big)));
    EXPECT_FALSE(context::shared_keys_q(object::context_of(&big)) || context::shared_keys_q(fresh));
    EXPECT_EQ(binding_of(*context::word_at(fresh, 0)), fresh);

    Cell spec = block_of({loose("shk-arg")});
    Cell function;
    cell::set(&function, TYPE_FUNCTION, context::make_from_spec(&spec, true, false, context::KIND_FUNCTION));
    Node cloned = context::share(&function, context::KIND_FUNCTION);
    EXPECT_TRUE(context::on_stack(cloned));
    EXPECT_FALSE(context::shared_keys_q(cloned));
}

TEST_F(SharedKeys, BlocksOfTheSameSetWordsGiveTheSameTable) {
    Cell spec = set_words_block({"shk-x", "shk-y", "SHK-X", "shk-z"});
    Node first = context::create_shared_empty(4, true, context::KIND_OBJECT);
    EXPECT_TRUE(context::collect_set_words_shared(first, &spec));
    EXPECT_EQ(word_names(first), (std::vector<std::string>{"shk-x", "shk-y", "shk-z"}));
    EXPECT_TRUE(context::shared_keys_q(first));

    Node second = context::create_shared_empty(1, true, context::KIND_OBJECT);
    EXPECT_TRUE(context::collect_set_words_shared(second, &spec));
    EXPECT_EQ(context::word_table(second), context::word_table(first));
    EXPECT_EQ(values_count(second), 3);
    EXPECT_EQ(type_of(context::values_in(second) + 2), TYPE_UNSET);
    EXPECT_FALSE(context::collect_set_words_shared(second, &spec)) << "nothing more to add";

    // The same block changed, or read from another head, has other words.
    struct Case {
        const char* change;
        int32_t head;
        std::vector<std::string> names;
    } cases[] = {
        {nullptr, 2, {"shk-y", "SHK-X", "shk-z"}},
        {"SHK-Y", 0, {"shk-x", "SHK-Y", "shk-z"}},
        {"shk-w", 0, {"shk-x", "shk-w", "shk-z"}},
        {"shk-x", 0, {"shk-x", "shk-z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change ? c.change : "head");
        Cell block = spec;
        block = at_head(block, c.head);
        if (c.change) memory::series_of(node_of(spec))->cells()[2] = loose(c.change, TYPE_SET_WORD);
        Node ctx = context::create_shared_empty(1, true, context::KIND_OBJECT);
        context::collect_set_words_shared(ctx, &block);
        EXPECT_EQ(word_names(ctx), c.names);
        EXPECT_NE(context::word_table(ctx), context::word_table(first));
    }
}

TEST_F(SharedKeys, ChangeFlagsBelongToEachContext) {
    std::vector<std::string> names;
    for (int i = 0; i < 41; i++) names.push_back("shk-flag-" + std::to_string(i));
    std::vector<const char*> pointers;
    for (const std::string& n : names) pointers.push_back(n.c_str());
    Node big = object_node(pointers);
    for (int32_t n : {0, 31, 32, 40}) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(context::changed_q(big, n));
        context::mark_changed(big, n);
        EXPECT_TRUE(context::changed_q(big, n));
        EXPECT_FALSE(context::changed_q(big, n == 0 ? 1 : n - 1));
        context::clear_changed(big);
        EXPECT_FALSE(context::changed_q(big, n));
    }

    Cell original = object_of({"shk-f1", "shk-f2"});
    Cell copy = original;
    context::mark_changed(object::context_of(&original), 1);
    Node shared = context::share(&copy, context::KIND_OBJECT);
    EXPECT_TRUE(context::changed_q(shared, 1)) << "a copy takes the flags of its original";
    context::clear_changed(shared);
    context::mark_changed(shared, 0);
    EXPECT_FALSE(context::changed_q(object::context_of(&original), 0));
    EXPECT_TRUE(context::changed_q(object::context_of(&original), 1));
}

TEST_F(SharedKeys, BindingMovesWordsOfAContextOfTheSameTable) {
    Cell original = object_of({"shk-b1", "shk-b2"});
    Cell copy = original;
    Node shared = context::share(&copy, context::KIND_OBJECT);
    Cell other = object_of({"shk-b0", "shk-b2"});
    Cell block = block_of({loose("shk-b2"), loose("self")});
    context::bind(&block, object::context_of(&original), true);
    context::bind(&block, shared, true);
    Cell* cells = memory::series_of(node_of(block))->cells();
    EXPECT_EQ(binding_of(cells[0]), shared);
    EXPECT_EQ(slot_of(cells[0]), 1);
    EXPECT_EQ(binding_of(cells[1]), shared);
    EXPECT_EQ(slot_of(cells[1]), -1) << "self reads the owner";
    context::bind(&block, object::context_of(&other), true);
    EXPECT_EQ(binding_of(cells[0]), object::context_of(&other));
    EXPECT_EQ(slot_of(cells[0]), 1);
    context::bind(&block, object_node({"shk-b2"}), false);
    EXPECT_EQ(slot_of(cells[0]), 0) << "another table: looked up again";
}
