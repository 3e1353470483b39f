// native!, action! and op! values: layout, make and its errors, the slots
// with no native behind them, the operator spec rule, reflect, form, mold and
// compare.
#include <climits>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "interpreter/native.h"
#include "scalars/simple_types.h"
#include "series/cell_text.h"
#include "tests/support/runtime_env.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

using namespace zel;
using namespace zel::test;

namespace {

Cell spec_of(std::initializer_list<const char*> names) {
    Cell b = block_of({});
    for (const char* n : names) {
        int type = TYPE_WORD;
        std::string name = n;
        if (name[0] == '/') type = TYPE_REFINEMENT;
        else if (name[0] == '\'') type = TYPE_LIT_WORD;
        else if (name[0] == ':') type = TYPE_GET_WORD;
        else if (name.back() == ':') type = TYPE_SET_WORD;
        if (type == TYPE_SET_WORD) name.pop_back();
        else if (type != TYPE_WORD) name.erase(0, 1);
        *cell::alloc_tail(&b) = word_named(name.c_str(), type);
    }
    return b;
}

Cell make_value(int type, Cell arg) {
    Cell result;
    cell::set(&result, TYPE_NONE);
    return *datatype::handler<ACT_MAKE>(type)(&result, &arg, type);
}

Cell native_of(int number, Cell spec) { return make_value(TYPE_NATIVE, block_of({spec, integer(number)})); }
Cell action_of(int number, Cell spec) { return make_value(TYPE_ACTION, block_of({spec, integer(number)})); }

// A function! as its maker will build it: {context, spec, more block of five cells}.
Cell function_of(Cell spec, Cell body) {
    Cell more = block_of({body, unset::g_unset, unset::g_unset, unset::g_unset, unset::g_unset});
    Node ctx = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    Cell f;
    cell::set(&f, TYPE_FUNCTION, ctx, spec.data2, more.data2);
    return f;
}

int reflect_field(const char* name) { return int(symbol::make(name)); }

// Molds the items of a block with single spaces, inside brackets unless
// /only: what block! molding gives for these flat specs, used while block!
// has no mold handler of its own.
int mold_flat_block(Cell* block, Cell* out, bool only, bool all, bool flat, int part, int indent) {
    if (!only) part = cell_text::mold_literal(out, "[", false, part);
    Series* s = memory::series_of(node_of(*block));
    for (int i = head_of(*block); i < int(s->used() / sizeof(Cell)); i++) {
        if (i > head_of(*block)) part = cell_text::mold_literal(out, " ", false, part);
        Cell item = memory::series_of(node_of(*block))->cells()[i];
        part = datatype::handler<ACT_MOLD>(type_of(&item))(&item, out, false, all, flat, part, indent);
    }
    return only ? part : cell_text::mold_literal(out, "]", false, part);
}

class NativeMold : public ::testing::Test {
protected:
    void SetUp() override {
        slot_ = &datatype::g_action_table[(TYPE_BLOCK << 8) + ACT_MOLD - 1];
        if (*slot_) {
            slot_ = nullptr;
            return;
        }
        *slot_ = reinterpret_cast<datatype::AnyHandler>(mold_flat_block);
    }
    void TearDown() override {
        if (slot_) *slot_ = nullptr;
    }
    static std::string molded(Cell v, bool only = false) {
        Cell out = buffer();
        datatype::handler<ACT_MOLD>(type_of(&v))(&v, &out, only, false, false, INT_MAX, 0);
        return utf8_of(out);
    }

private:
    datatype::AnyHandler* slot_ = nullptr;
};

}  // namespace

TEST(Natives, LayoutOfAMadeNative) {
    Cell spec = spec_of({"lay-a", "lay-b", "/lay-c", "lay-d", "return:"});
    Cell n = native_of(5, spec);
    EXPECT_EQ(n.header, uint32_t(TYPE_NATIVE));
    EXPECT_EQ(n.data1, 5u);
    EXPECT_EQ(n.data2, spec.data2);
    Cell more;
    cell::set(&more, TYPE_BLOCK, 0, n.data3);
    ASSERT_EQ(total_cells(more), 2);
    Cell* ctx_cell = cells_of(more);
    EXPECT_EQ(type_of(ctx_cell), TYPE_CONTEXT);
    EXPECT_NE(ctx_cell->header & FLAG_CTX_ON_STACK, 0u);
    EXPECT_EQ((ctx_cell->header & context::KIND_MASK) >> context::KIND_SHIFT, uint32_t(context::KIND_FUNCTION));
    EXPECT_EQ(ctx_cell->data2, 0u) << "no call runs";
    Node words = hash_table::record(ctx_cell->data1)->keys;
    EXPECT_EQ(memory::series_of(words)->used() / sizeof(Cell), 4u) << "a b c d; the set-word skipped";
    EXPECT_EQ(type_of(cells_of(more) + 1), TYPE_UNSET) << "argument cache";

    Cell a = action_of(11, spec_of({"value1", "value2"}));
    EXPECT_EQ(a.header, uint32_t(TYPE_ACTION));
    EXPECT_EQ(a.data1, 11u);
}

TEST(Natives, MakeChecksTheBlockAndTheNumber) {
    Cell spec = spec_of({"chk"});
    struct Case {
        const char* what;
        int type;
        Cell arg;
        bool ok;
    } cases[] = {
        {"native 1", TYPE_NATIVE, block_of({spec, integer(1)}), true},
        {"native 120", TYPE_NATIVE, block_of({spec, integer(120)}), true},
        {"native 121", TYPE_NATIVE, block_of({spec, integer(121)}), false},
        {"native 0", TYPE_NATIVE, block_of({spec, integer(0)}), false},
        {"action 62", TYPE_ACTION, block_of({spec, integer(62)}), true},
        {"action 63", TYPE_ACTION, block_of({spec, integer(63)}), false},
        {"three items", TYPE_NATIVE, block_of({spec, integer(1), integer(2)}), false},
        {"one item", TYPE_NATIVE, block_of({spec}), false},
        {"not a block", TYPE_NATIVE, integer(1), false},
        {"index not an integer", TYPE_NATIVE, block_of({spec, text("1")}), false},
        {"spec not a block", TYPE_ACTION, block_of({integer(1), integer(1)}), false},
        {"counted from the head", TYPE_NATIVE, block_at({integer(0), spec, integer(7)}, 1), true},
    };
    for (Case& c : cases)
        EXPECT_EQ(error_of([&] { make_value(c.type, c.arg); }), c.ok ? "" : "script/bad-make-arg") << c.what;
    ErrorThrow e = caught_error([&] { native_of(121, spec); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_NATIVE);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_BLOCK);
}

TEST(Natives, SlotsWithoutANativeAreMadeButNotCalled) {
    Cell spec = spec_of({"ns-a", "ns-b"});
    Cell last = native_of(107, spec);
    EXPECT_EQ(native::callable_number(&last), 107);
    for (int n : {108, 114, 120}) {
        Cell reserved = native_of(n, spec);
        EXPECT_EQ(error_of([&] { native::callable_number(&reserved); }), "internal/not-done") << n;
        Cell op = make_value(TYPE_OP, reserved);
        EXPECT_EQ(error_of([&] { native::callable_number(&op); }), "internal/not-done") << n;
    }
    Cell action = action_of(62, spec);
    EXPECT_EQ(native::callable_number(&action), 62);
    Cell op = make_value(TYPE_OP, action_of(110 - 50, spec));
    EXPECT_EQ(native::callable_number(&op), 60) << "an action wraps any id";
}

TEST(Operators, SpecRule) {
    Cell type_block = block_of({word_named("integer!")});
    Cell with_doc = block_of({word_named("sr-a"), text("doc"), type_block, word_named("sr-b"),
                              word_named("return", TYPE_SET_WORD), type_block});
    struct Case {
        const char* what;
        Cell spec;
        bool ok;
    } cases[] = {
        {"two words", spec_of({"sr-a", "sr-b"}), true},
        {"then /local", spec_of({"sr-a", "sr-b", "/local", "sr-c"}), true},
        {"then /extern", spec_of({"sr-a", "sr-b", "/extern", "sr-c"}), true},
        {"docs, types and return:", with_doc, true},
        {"get-word second", spec_of({"sr-a", ":sr-b"}), true},
        {"lit-word second", spec_of({"sr-a", "'sr-b"}), true},
        {"then /only", spec_of({"sr-a", "sr-b", "/only"}), false},
        {"lit-word first", spec_of({"'sr-a", "sr-b"}), false},
        {"get-word first", spec_of({":sr-a", "sr-b"}), false},
        {"three words", spec_of({"sr-a", "sr-b", "sr-c"}), false},
        {"one word", spec_of({"sr-a"}), false},
        {"one word then /local", spec_of({"sr-a", "/local", "sr-b"}), false},
        {"return: after one", spec_of({"sr-a", "return:", "sr-b"}), false},
    };
    for (Case& c : cases) EXPECT_EQ(op::spec_ok_q(&c.spec), c.ok) << c.what;
}

TEST(Operators, MadeFromCallableValuesWithAnAcceptableSpec) {
    Cell add = action_of(11, spec_of({"value1", "value2"}));
    Cell op = make_value(TYPE_OP, add);
    EXPECT_EQ(op.header, uint32_t(TYPE_OP) | (uint32_t(TYPE_ACTION) << 16));
    EXPECT_EQ(op::wrapped_type(&op), TYPE_ACTION);
    EXPECT_EQ(op.data1, add.data1);
    EXPECT_EQ(op.data2, add.data2);
    EXPECT_EQ(op.data3, add.data3);

    ErrorThrow e = caught_error([] { make_value(TYPE_OP, integer(1)); });
    EXPECT_EQ(std::string(e.id_name()), "invalid-type");
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_INTEGER);
    EXPECT_EQ(error_of([] { make_value(TYPE_OP, native_of(3, spec_of({"one"}))); }), "script/bad-op-spec");

    Cell body = block_of({word_named("fn-body")});
    Cell f = function_of(spec_of({"fa", "fb", "/local", "fc"}), body);
    Cell fop = make_value(TYPE_OP, f);
    EXPECT_EQ(op::wrapped_type(&fop), TYPE_FUNCTION);
    Cell more;
    cell::set(&more, TYPE_BLOCK, 0, f.data3);
    EXPECT_EQ(cells_of(more)[3].header, uint32_t(TYPE_FUNCTION)) << "the function kept for the call";
    EXPECT_EQ(cells_of(more)[3].data2, f.data2);
}

TEST(Natives, ReflectSpecAndBody) {
    Cell spec = spec_of({"rf-a", "rf-b"});
    auto reflect = datatype::handler<ACT_REFLECT>(TYPE_NATIVE);
    Cell n = native_of(42, spec);
    Cell r = *reflect(&n, reflect_field("spec"));
    EXPECT_EQ(type_of(&r), TYPE_BLOCK);
    EXPECT_EQ(node_of(r), node_of(spec));
    EXPECT_EQ(head_of(r), 0);
    n = native_of(42, spec);
    r = *reflect(&n, reflect_field("BODY"));
    EXPECT_EQ(type_of(&r), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&r), 42);

    EXPECT_EQ(datatype::handler<ACT_REFLECT>(TYPE_ACTION), reflect);
    EXPECT_EQ(datatype::handler<ACT_REFLECT>(TYPE_OP), reflect);
    Cell add_op = make_value(TYPE_OP, action_of(11, spec));
    EXPECT_EQ(cell::get_int(reflect(&add_op, reflect_field("body"))), 11);

    Cell body = block_of({word_named("rf-body")});
    Cell fop = make_value(TYPE_OP, function_of(spec_of({"rf-a", "rf-b"}), body));
    r = *reflect(&fop, reflect_field("body"));
    EXPECT_EQ(type_of(&r), TYPE_BLOCK);
    EXPECT_EQ(node_of(r), node_of(body));

    n = native_of(1, spec);
    EXPECT_EQ(error_of([&] { reflect(&n, reflect_field("words")); }), "internal/not-done");
}

TEST(Natives, Form) {
    Cell spec = spec_of({"fm-a", "fm-b"});
    struct Case {
        Cell value;
        const char* text;
    } cases[] = {{native_of(1, spec), "?native?"},
                 {action_of(1, spec), "?action?"},
                 {make_value(TYPE_OP, action_of(1, spec)), "?op?"}};
    for (Case& c : cases) {
        Cell out = buffer();
        int left = datatype::handler<ACT_FORM>(type_of(&c.value))(&c.value, &out, 100);
        EXPECT_EQ(utf8_of(out), c.text);
        EXPECT_EQ(left, 100 - int(std::strlen(c.text)));
    }
}

TEST_F(NativeMold, MoldsShowTheSpec) {
    Cell spec = spec_of({"value1", "value2"});
    EXPECT_EQ(molded(native_of(9, spec)), "make native! [[value1 value2]]");
    EXPECT_EQ(molded(native_of(9, spec), true), "make native! [value1 value2]") << "/only drops the spec's brackets";
    EXPECT_EQ(molded(action_of(11, spec)), "make action! [[value1 value2]]");
    EXPECT_EQ(molded(make_value(TYPE_OP, action_of(11, spec))), "make op! [[value1 value2]]");
    Cell body = block_of({word_named("fn-body")});
    Cell fop = make_value(TYPE_OP, function_of(spec_of({"x", "y"}), body));
    EXPECT_EQ(molded(fop), "make op! func [x y][fn-body]");
}

TEST(Natives, CompareByNumberWithinOneType) {
    Cell spec = spec_of({"cn-a", "cn-b"});
    Cell n5 = native_of(5, spec), n5b = native_of(5, spec_of({"cn-c", "cn-d"})), n6 = native_of(6, spec);
    Cell a11 = action_of(11, spec), a11b = action_of(11, spec), n11 = native_of(11, spec);
    Cell op_a = make_value(TYPE_OP, a11), op_b = make_value(TYPE_OP, a11b), op_n = make_value(TYPE_OP, n11);
    using namespace compare;
    struct Case {
        const char* what;
        Cell x, y;
        int op, expected;
    } cases[] = {
        {"same slot", n5, n5b, COMP_EQUAL, 0},
        {"same slot, strict", n5, n5b, COMP_STRICT_EQUAL, 0},
        {"other slot", n5, n6, COMP_EQUAL, -1},
        {"sorting", n6, n5, COMP_SORT, 1},
        {"same", n5, n5b, COMP_SAME, 0},
        {"orderings are not comparable", n5, n6, COMP_LESSER, -2},
        {"native and action", n11, a11, COMP_EQUAL, -2},
        {"ops of one action", op_a, op_b, COMP_EQUAL, 0},
        {"op and its action", op_a, a11, COMP_EQUAL, -2},
        {"op of a native and of an action of one number", op_n, op_a, COMP_EQUAL, -1},
    };
    for (Case& c : cases) {
        auto compare = datatype::handler<ACT_COMPARE>(type_of(&c.x));
        EXPECT_EQ(compare(&c.x, &c.y, c.op), c.expected) << c.what;
    }
}
