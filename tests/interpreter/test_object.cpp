// object! where C++ looks at it: the stacks an exit from a spec leaves,
// class ids, the binding of a path's words, set and construct on objects,
// form, the cycle stack of mold, comparison's order, shared word tables.
// The cases of Zel code are in tests/cases/object.cases.
#include <climits>

#include "foundation/compare.h"
#include "interpreter/dispatch.h"
#include "interpreter/object.h"
#include "tests/support/eval_tables.h"
#include "tests/support/fields.h"
#include "words/context.h"

namespace zel::test {
namespace {

// Runs C++ code that may run Zel code under a barrier, as an evaluation
// runs: an error ends there and reaches the caller.
template <typename Body>
void in_barrier(Body body) {
    empty_both_stacks();
    struct Empty {
        ~Empty() { empty_both_stacks(); }
    } empty;
    frames::mark_try_all(&words::word(words::Word::body));
    body();
}

std::string formed(const std::string& code) {
    Cell value = eval_value(code), buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    dispatch::form(&value, &buffer, INT_MAX);
    return utf8_of(buffer);
}

void define_object_functions() {
    define_function("field-a", "[]", "[a]");
    define_function("pick-f", "[x /only /twice n]", "[either only [reduce [x]] [either twice [x * n] [x]]]");
    define_function("log-change", "[word old new]", "[count: count + 1 last: reduce [word old new]]");
    define_function("log-deep", "[owner word target action new index part]",
                    "[count: count + 1 poke events count reduce [word action new index part]]");
    define_function("log-owner", "[owner word target action new index part]", "[last: owner]");
    define_function("early-object", "[]", "[make object! [a: 1 return 5] 6]");
    define_function("early-change", "[word old new]", "[return 1 count: 99]");
}

class ObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_object_functions(); }
};

// ---- Making -------------------------------------------------------------------------------

// Code run while an object is made or told about a change may leave by a
// non-local exit: the stacks are where the exit put them.
TEST_F(ObjectTest, ExitsLeaveSpecsAndHandlersWithTheStacksInPlace) {
    // An error in a spec lands at the try with the error on top.
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    uint32_t code = exits::run_caught(CATCH_TRY, [] {
        frames::mark_try(&words::word(words::Word::try_));
        Cell type, spec = load_block("[a: 1 b: 1 / 0]");
        cell::set(&type, TYPE_DATATYPE, TYPE_OBJECT);
        stack::push(&type);
        stack::push(&spec);
        dispatch::make(stack::arguments(), stack::arguments(), stack::arguments() + 1);
    });
    EXPECT_EQ(code, THROW_ERROR);
    EXPECT_EQ(type_of(stack::top() - 1), TYPE_ERROR);
    EXPECT_EQ(exits::pending_error().id, ERR_math_zero_divide);
    empty_both_stacks();
}

TEST_F(ObjectTest, ClassIdsCountFromTheFirstRunTimeClass) {
    object::restart_class_counter();
    EXPECT_EQ(eval("o: make object! [a: 1] reflect o 'class"), "1000001");
    expect_results({
        {"reflect make object! [] 'class", "1000002"},
        // Same fields as the prototype: its class; a field more: a new class.
        {"p: make o [a: 2] reflect p 'class", "1000001"},
        {"q: make o [b: 2] reflect q 'class", "1000003"},
        {"reflect copy o 'class", "1000001"},
        {"reflect make o make object! [] 'class", "1000001"},
        {"reflect make o make object! [c: 1] 'class", "1000006"},
        // Nothing to copy but object! itself: a class of its own.
        {"reflect make object! make object! [] 'class", "1000008"},
    });
}

// ---- Paths --------------------------------------------------------------------------------

// A path's word found in an object is bound to it where it stands.
TEST_F(ObjectTest, APathsWordsAreBoundToTheObjectTheyName) {
    Cell code = eval_value("o: make object! [b: 0 a: 1] code: [o/a] reduce code code");
    Cell o = eval_value("o");
    const Cell* element = block::abs_at(block::abs_at(&code, 0), 1);
    EXPECT_EQ(binding_of(*element), object::context_of(&o));
    EXPECT_EQ(slot_of(*element), 1);
    // met again in another object of other fields, it is looked up there
    EXPECT_EQ(eval("o: make object! [a: 5] reduce code"), "[5]");
}

// ---- Change handlers ----------------------------------------------------------------------

TEST_F(ObjectTest, SetManyFiresOnChangeForEveryFieldButTheHandlers) {
    Cell o = eval_value("count: 0 o: make object! [a: 1 b: 2 on-change*: :log-change] o");
    Cell values = eval_value("[10 20 30]");
    in_barrier([&] { object::set_many(&o, &values, false, false, false); });
    EXPECT_EQ(eval("reduce [o/a o/b count last]"), "[10 20 2 [b 2 20]]");
    EXPECT_EQ(eval("o/on-change*"), "30") << "the handler field is set without firing";
}

TEST_F(ObjectTest, SetManyTakesBlocksAndObjectsByPositionAndField) {
    struct SetCase {
        const char* value;
        bool any, only, some;
        const char* expected;  // o after `set o value`
    };
    const SetCase cases[] = {
        {"[1]", false, false, false, "[1 none none]"},
        {"reduce [1 none 3]", false, false, true, "[1 b 3]"},  // /some skips none
        {"make object! [c: 9 z: 0]", false, false, false, "[a b 9]"},
        {"[1 2]", false, true, false, "[[1 2] [1 2] [1 2]]"},  // /only: the block itself
        {"7", false, false, false, "[7 7 7]"},
    };
    for (const SetCase& c : cases) {
        Cell o = eval_value("o: make object! [a: 'a b: 'b c: 'c] o");
        Cell value = eval_value(c.value);
        in_barrier([&] { object::set_many(&o, &value, c.any, c.only, c.some); });
        EXPECT_EQ(eval("reflect o 'values"), c.expected) << c.value;
    }
    Cell o = eval_value("o: make object! [a: 1] o");
    Cell unset_block = eval_value("reduce [()]");
    EXPECT_EQ(error_of([&] { in_barrier([&] { object::set_many(&o, &unset_block, false, false, false); }); }),
              "script/need-value");
    EXPECT_EQ(error_of([&] { in_barrier([&] { object::set_many(&o, &unset_block, true, false, false); }); }), "")
        << "/any";
}

TEST_F(ObjectTest, ConstructTakesValuesWithoutEvaluating) {
    Cell spec = eval_value("[a: b: 1 + 2 c: true d: off e: none f:]");
    gc::root keep_spec(&spec);
    Cell* made = object::construct(&spec, nullptr, false);
    Cell o = *made;
    stack::pop(1);
    EXPECT_EQ(mold_of(o), "make object! [\n    a: 1\n    b: 1\n    c: true\n    d: false\n    e: none\n    f: none\n]");
    made = object::construct(&spec, nullptr, true);
    Cell only = *made;
    stack::pop(1);
    EXPECT_EQ(mold_of(only), "make object! [\n    a: 1\n    b: 1\n    c: 'true\n    d: 'off\n    e: 'none\n    f: none\n]");
    // With a prototype: a copy of it, given the spec's fields.
    Cell proto = eval_value("make object! [a: 0 z: 26]");
    gc::root keep_proto(&proto);
    Cell short_spec = eval_value("[a: 1]");
    gc::root keep_short(&short_spec);
    made = object::construct(&short_spec, &proto, false);
    EXPECT_EQ(mold_of(*made), "make object! [\n    a: 1\n    z: 26\n]");
    EXPECT_EQ(class_of(*made), class_of(proto)) << "the prototype's class";
    stack::pop(1);
}

// ---- Reflection, select, put, modify --------------------------------------------------------

// ---- Form, mold and compare ------------------------------------------------------------------

// A mold that fails half way leaves no object marked as being molded.
TEST_F(ObjectTest, AFailedMoldLeavesTheCycleStackAsItWas) {
    Cell o = eval_value("o: make object! [a: 1]");
    Cell* a = object::get_values(&o);
    cell::set(a, TYPE_EVENT);  // a type nothing molds yet
    EXPECT_EQ(error_of([&] { mold_of(o); }), "script/expect-arg");
    cell::set(object::get_values(&o), TYPE_INTEGER, 0, 1);
    EXPECT_EQ(mold_of(o), "make object! [\n    a: 1\n]");
}

TEST_F(ObjectTest, FormWritesOneLinePerField) {
    EXPECT_EQ(formed("make object! [a: 1 b: \"x\" c: 'w]"), "a: 1\nb: \"x\"\nc: 'w");
    EXPECT_EQ(formed("make object! []"), "");
    EXPECT_EQ(formed("o: make object! [a: 1] o/a: o o"), "a: make object! [...]");  // values are molded
}

TEST_F(ObjectTest, CompareWalksTheFieldsInOrder) {
    Cell small = eval_value("make object! [a: 9]");
    gc::root keep(&small);
    Cell big = eval_value("make object! [a: 1 b: 1]");
    EXPECT_EQ(object::compare(&small, &big, compare::COMP_SORT), -1) << "fewer fields";
    EXPECT_EQ(object::compare(&big, &small, compare::COMP_SORT), 1);
}

// Objects of one shape share their word table; one that gets a field of its
// own takes a table of its own, leaving the others' as it was.
TEST_F(ObjectTest, ObjectsOfOneShapeShareTheirWordTable) {
    eval("shape-spec: [a: 1 b: 2] shape-o: make object! shape-spec");
    struct Case {
        const char* first;
        const char* second;
        bool same;
    } cases[] = {
        {"make object! shape-spec", "make object! shape-spec", true},
        {"shape-o", "copy shape-o", true},
        {"shape-o", "copy/deep shape-o", true},
        {"shape-o", "make shape-o [a: 5]", true},
        {"construct [a: 1 b: 2]", "construct [a: 1 b: 2]", false},  // two blocks
        {"shape-k: [k: 1] construct shape-k", "construct shape-k", true},
        {"make shape-o shape-d: [d: 4]", "make shape-o shape-d", true},
        {"shape-o", "make shape-o [d: 4]", false},
        {"shape-o", "make object! [a: 1 b: 2]", false},
        {"shape-o", "make shape-o make object! [e: 5]", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " / " + c.second);
        Cell first = eval_value(c.first);
        gc::root keep(&first);
        Cell second = eval_value(c.second);
        Node table1 = context::word_table(object::context_of(&first)), table2 = context::word_table(object::context_of(&second));
        EXPECT_EQ(table1 == table2, c.same);
        if (c.same) {
            EXPECT_TRUE(context::shared_keys_q(object::context_of(&first)) && context::shared_keys_q(object::context_of(&second)));
        }
    }
    EXPECT_EQ(eval("words-of-o: reflect shape-o 'words"), "[a b]");
    EXPECT_EQ(eval("shape-o/a: 10 reduce [shape-o/a get in make object! shape-spec 'a]"), "[10 1]");
}

}  // namespace
}  // namespace zel::test
