// Datatype registry, the four simplest datatypes, truth rules, the cycle
// stack, number conversion and the argument stack.
#include <cmath>
#include <limits>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "tests/support/fields.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using zel::test::caught_error;
using zel::test::error_of;

namespace {

Cell make_cell(int type, uint32_t d1 = 0, uint32_t d2 = 0, uint32_t d3 = 0) {
    Cell c;
    cell::set(&c, type, d1, d2, d3);
    return c;
}

Cell integer(int32_t v) { return make_cell(TYPE_INTEGER, 0, uint32_t(v)); }

Cell floating(double d, int type = TYPE_FLOAT) {
    Cell c = make_cell(type);
    cell::put_float(&c, d);
    return c;
}

// Handlers for test types, told apart by what they answer.
int answer_one(Cell*, Cell*, int) { return 1; }
int answer_two(Cell*, Cell*, int) { return 2; }
Cell* clear_handler(Cell* c) { return c; }

// Runs `body` with the registry emptied, then restores the run-time's types.
template <typename Body>
void with_empty_registry(Body body) {
    datatype::reset();
    body();
    datatype::reset();
    runtime::shutdown();
    runtime::init();
}

}  // namespace

TEST(Registry, ChildrenInheritResolvedHandlers) {
    with_empty_registry([] {
        datatype::TypeRecord parent(TYPE_SERIES, 0, "series!");
        parent.set<ACT_COMPARE>(answer_one).set<ACT_CLEAR>(clear_handler);
        datatype::register_type(parent);

        datatype::TypeRecord child(TYPE_BLOCK, TYPE_SERIES, "block!", true);
        child.set<ACT_COMPARE>(answer_two).unsupported(ACT_FORM);
        datatype::register_type(child);

        datatype::TypeRecord grandchild(TYPE_PAREN, TYPE_BLOCK, "paren!", true);
        datatype::register_type(grandchild);

        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_BLOCK), answer_two);        // own
        EXPECT_EQ(datatype::handler<ACT_CLEAR>(TYPE_BLOCK), clear_handler);       // -1: inherited
        EXPECT_EQ(datatype::handler<ACT_CLEAR>(TYPE_PAREN), clear_handler);       // through two levels
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_PAREN), answer_two);
        EXPECT_EQ(datatype::raw_handler(TYPE_BLOCK, ACT_FORM), nullptr);          // 0: unsupported
        EXPECT_EQ(datatype::raw_handler(TYPE_SERIES, ACT_MOLD), nullptr);
        EXPECT_EQ(datatype::g_highest_type, int(TYPE_SERIES));
        EXPECT_STREQ(datatype::type_name(TYPE_PAREN), "paren!");
        EXPECT_EQ(datatype::g_type_names[TYPE_PAREN].length, 5);
        EXPECT_EQ(datatype::parent_of(TYPE_PAREN), int(TYPE_BLOCK));
    });
}

TEST(RegistryDeathTest, ChildBeforeParentIsABuildFault) {
    EXPECT_EXIT(
        {
            datatype::reset();
            datatype::register_type(datatype::TypeRecord(TYPE_BLOCK, TYPE_SERIES, "block!", true));
        },
        ::testing::ExitedWithCode(98), "Datatype Error");
}

TEST(RegistryDeathTest, InheritingWithoutAParentIsABuildFault) {
    EXPECT_EXIT(
        {
            datatype::reset();
            datatype::register_type(datatype::TypeRecord(TYPE_PAIR, 0, "pair!", true));
        },
        ::testing::ExitedWithCode(98), "Datatype Error");
}

TEST(Registry, RuntimeRegistersTheSimpleTypes) {
    for (int t : {TYPE_DATATYPE, TYPE_UNSET, TYPE_NONE, TYPE_LOGIC})
        EXPECT_TRUE(datatype::registered(t)) << t;
    EXPECT_STREQ(datatype::type_name(TYPE_LOGIC), "logic!");
    EXPECT_EQ(datatype::raw_handler(TYPE_LOGIC, ACT_FIND), nullptr);
    EXPECT_NE(datatype::raw_handler(TYPE_NONE, ACT_FIND), nullptr);
}

// Values of a type whose handlers are still to come exist (the lexer makes
// them), and errors about them must name their type.
TEST(Registry, ATypeNotRegisteredYetKeepsItsName) {
    with_empty_registry([] {
        EXPECT_FALSE(datatype::registered(TYPE_BINARY));
        EXPECT_STREQ(datatype::type_name(TYPE_BINARY), "binary!");
        EXPECT_STREQ(datatype::type_name(TYPE_LAST), datatype::ALL_TYPE_NAMES[TYPE_LAST]);
        EXPECT_STREQ(datatype::type_name(0), "?");
        EXPECT_STREQ(datatype::type_name(TYPE_LAST + 1), "?");
    });
}

TEST(Logic, MakeAndTo) {
    struct Case {
        const char* what;
        Cell spec;
        bool make;  // make logic! spec
        bool to;    // to logic! spec
    };
    const Case cases[] = {
        {"integer 0", integer(0), false, true},
        {"integer -3", integer(-3), true, true},
        {"float 0.0", floating(0.0), false, true},
        {"float -0.0", floating(-0.0), false, true},
        {"float NaN", floating(std::nan("")), true, true},
        {"percent 0%", floating(0.0, TYPE_PERCENT), false, true},
        {"string", make_cell(TYPE_STRING), true, true},
        {"none", none::g_none, false, false},
        {"false", logic::g_false, false, false},
        {"true", logic::g_true, true, true},
        {"unset", unset::g_unset, true, true},
    };
    auto make = datatype::handler<ACT_MAKE>(TYPE_LOGIC);
    auto to = datatype::handler<ACT_TO>(TYPE_LOGIC);
    for (const Case& c : cases) {
        Cell proto = make_cell(TYPE_DATATYPE, TYPE_LOGIC), spec = c.spec;
        make(&proto, &spec, TYPE_LOGIC);
        EXPECT_EQ(type_of(&proto), TYPE_LOGIC) << c.what;
        EXPECT_EQ(logic::get(&proto), c.make) << "make " << c.what;
        proto = make_cell(TYPE_DATATYPE, TYPE_LOGIC);
        to(&proto, &spec, TYPE_LOGIC);
        EXPECT_EQ(logic::get(&proto), c.to) << "to " << c.what;
    }
}

TEST(Logic, BitwiseOperatorsNeedLogicOperands) {
    struct Case {
        int action;
        bool a, b, result;
    };
    const Case cases[] = {
        {ACT_AND_T, true, false, false}, {ACT_AND_T, true, true, true},
        {ACT_OR_T, false, false, false}, {ACT_OR_T, false, true, true},
        {ACT_XOR_T, true, true, false},  {ACT_XOR_T, true, false, true},
    };
    for (const Case& c : cases) {
        stack::reset();
        logic::push(c.a);
        logic::push(c.b);
        reinterpret_cast<action::StackFn>(datatype::raw_handler(TYPE_LOGIC, c.action))();
        EXPECT_EQ(logic::get(stack::arguments()), c.result) << ACTION_NAMES[c.action];
    }
    stack::reset();
    logic::push(true);
    Cell one = integer(1);
    stack::push(&one);
    ErrorThrow e = caught_error([] { datatype::handler<ACT_AND_T>(TYPE_LOGIC)(); });
    EXPECT_EQ(e.id, ERR_script_expect_arg);
    ASSERT_EQ(e.argc, 3);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_DATATYPE);
    EXPECT_EQ(test::type_named_by(e.args[1]), TYPE_INTEGER);
    stack::reset();
}

TEST(Logic, ComplementAndRandom) {
    Cell t = logic::g_true;
    datatype::handler<ACT_COMPLEMENT>(TYPE_LOGIC)(&t);
    EXPECT_FALSE(logic::get(&t));
    Cell seeded = logic::g_true;
    datatype::handler<ACT_RANDOM>(TYPE_LOGIC)(&seeded, true, false, false);
    EXPECT_EQ(type_of(&seeded), TYPE_UNSET);
    int trues = 0;
    for (int i = 0; i < 200; i++) {
        Cell v = logic::g_true;
        datatype::handler<ACT_RANDOM>(TYPE_LOGIC)(&v, false, i % 2 == 0, false);
        trues += logic::get(&v);
    }
    EXPECT_GT(trues, 50);
    EXPECT_LT(trues, 150);
}

TEST(SimpleTypes, CompareCodes) {
    struct Case {
        const char* what;
        int type;
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {"none = none", TYPE_NONE, none::g_none, none::g_none, 0, 0},
        {"none vs unset", TYPE_NONE, none::g_none, unset::g_unset, 0, -2},
        {"none < none", TYPE_NONE, none::g_none, none::g_none, 3, -2},
        {"unset = unset", TYPE_UNSET, unset::g_unset, unset::g_unset, 2, 0},
        {"unset vs none", TYPE_UNSET, unset::g_unset, none::g_none, 0, -2},
        {"true = false", TYPE_LOGIC, logic::g_true, logic::g_false, 0, 1},
        {"false sort true", TYPE_LOGIC, logic::g_false, logic::g_true, 7, -1},
        {"true > false", TYPE_LOGIC, logic::g_true, logic::g_false, 5, -2},
        {"logic vs integer", TYPE_LOGIC, logic::g_true, integer(1), 0, -2},
        {"datatype same", TYPE_DATATYPE, make_cell(TYPE_DATATYPE, 11), make_cell(TYPE_DATATYPE, 11), 0, 0},
        {"datatype other", TYPE_DATATYPE, make_cell(TYPE_DATATYPE, 11), make_cell(TYPE_DATATYPE, 12), 9, 1},
        {"datatype vs logic", TYPE_DATATYPE, make_cell(TYPE_DATATYPE, 4), logic::g_true, 12, 1},
        {"datatype ordered", TYPE_DATATYPE, make_cell(TYPE_DATATYPE, 4), make_cell(TYPE_DATATYPE, 4), 3, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(c.type)(&c.a, &c.b, c.op), c.result) << c.what;
}

TEST(SimpleTypes, SeriesActionsOnNoneAnswerNone) {
    Cell v = none::g_none;
    EXPECT_EQ(datatype::handler<ACT_LENGTH_Q>(TYPE_NONE)(&v), -1);
    Cell arg = integer(1);
    datatype::handler<ACT_SELECT>(TYPE_NONE)(&v, &arg, nullptr, false, false, false, false, nullptr,
                                             nullptr, false, false);
    EXPECT_EQ(type_of(&v), TYPE_NONE);
    Cell u = unset::g_unset, spec = integer(3);
    datatype::handler<ACT_MAKE>(TYPE_UNSET)(&u, &spec, TYPE_UNSET);
    EXPECT_EQ(type_of(&u), TYPE_UNSET);
}

TEST(Truth, ResultSlotAndValueTests) {
    struct Case {
        const char* what;
        Cell value;
        bool truth;
    };
    const Case cases[] = {
        {"none", none::g_none, false}, {"false", logic::g_false, false},
        {"true", logic::g_true, true}, {"integer 0", integer(0), true},
        {"unset", unset::g_unset, true}, {"float 0", floating(0.0), true},
    };
    for (const Case& c : cases) {
        stack::reset();
        stack::push(&c.value);
        EXPECT_EQ(logic::false_q(), !c.truth) << c.what;
        EXPECT_EQ(logic::top_true(), c.truth) << c.what;
        EXPECT_EQ(logic::top_false(), !c.truth) << c.what;
        EXPECT_EQ(logic::truth(&c.value, false, nullptr), c.truth) << c.what;
    }
    stack::reset();
    unset::push();
    EXPECT_EQ(error_of([] { logic::true_checked(); }), "script/no-return");
    Cell word = make_cell(TYPE_WORD);
    EXPECT_EQ(error_of([&] { logic::truth(&unset::g_unset, true, &word); }), "script/no-value");
    stack::reset();
}

TEST(Cells, NumberToInt) {
    struct Case {
        Cell value;
        int32_t result;
        bool error;
    };
    const Case cases[] = {
        {integer(-5), -5, false},
        {floating(2147483647.0), 2147483647, false},
        {floating(-2147483648.0), INT32_MIN, false},
        {floating(-2.9), -2, false},
        {floating(2.9), 2, false},
        {floating(2147483648.0), 0, true},
        {floating(2147483647.5), 0, true},
        {floating(-2147483649.0), 0, true},
        {floating(std::nan("")), 0, true},
        {floating(std::numeric_limits<double>::infinity()), 0, true},
    };
    for (const Case& c : cases) {
        if (c.error)
            EXPECT_EQ(error_of([&] { cell::number_to_int(&c.value); }), "script/out-of-range");
        else
            EXPECT_EQ(cell::number_to_int(&c.value), c.result);
    }
}

TEST(Cells, AppendingDoublesAFullBlock) {
    Node n = memory::alloc_cells(2);
    Cell block = make_cell(TYPE_BLOCK, 0, n);
    Cell* a = cell::alloc_tail(&block);
    a->data2 = 1;
    cell::alloc_tail(&block)->data2 = 2;
    Cell* c = cell::alloc_tail(&block);  // full: doubled
    EXPECT_EQ(c->header, uint32_t(TYPE_UNSET));
    Series* s = memory::series_of(n);
    EXPECT_EQ(s->capacity, 64);
    EXPECT_EQ(s->used(), 48u);
    EXPECT_EQ(s->cells()[1].data2, 2u);
    Cell same = integer(9);
    EXPECT_EQ(copy_cell(&same, &same), &same);
    EXPECT_EQ(same.data2, 9u);
}

TEST(Cells, CycleStackRaisesTooDeepAndResets) {
    cell::cycle_reset();
    for (uint32_t i = 1; i < uint32_t(cell::CYCLE_DEPTH); i++) cell::cycle_push(i);
    EXPECT_EQ(cell::cycle_depth(), cell::CYCLE_DEPTH - 1);
    EXPECT_TRUE(cell::cycle_find(500));
    EXPECT_FALSE(cell::cycle_find(5000));
    EXPECT_EQ(error_of([] { cell::cycle_push(7777); }), "internal/too-deep");
    EXPECT_EQ(cell::cycle_depth(), 0);  // emptied, so later walks start clean
    cell::cycle_push(3);
    cell::cycle_push(4);
    cell::cycle_pop_n(5);
    EXPECT_EQ(cell::cycle_depth(), 0);
    cell::cycle_pop();
    EXPECT_EQ(cell::cycle_depth(), 0);
}

TEST(ArgumentStackCells, PushPopAndOverflow) {
    stack::reset();
    EXPECT_EQ(stack::get_top(), stack::bottom());  // empty: the bottom cell
    stack::pop(1000);
    EXPECT_EQ(stack::top(), stack::bottom());
    datatype::push(TYPE_LOGIC);
    EXPECT_EQ(stack::top_type(), TYPE_DATATYPE);
    Cell seven = integer(7);
    stack::set_last_only(&seven);
    EXPECT_EQ(stack::depth(), 1);
    EXPECT_EQ(cell::get_int(stack::arguments()), 7);

    EXPECT_EQ(error_of([] {
                  for (;;) none::push();
              }),
              "internal/stack-overflow");
    EXPECT_LT(stack::top(), stack::g_end);
    none::push();  // headroom was given back
    stack::reset();
    EXPECT_EQ(stack::depth(), 0);
}
