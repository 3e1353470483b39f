// object!: making (from a spec block, a prototype, a spec object), copying,
// self, paths to fields and to functions with refinements, the change
// handlers, reflection, form and mold, comparison, select, put, modify,
// construct and set on objects, and class ids.
#include <climits>

#include "core/context.h"
#include "core/compare.h"
#include "core/dispatch.h"
#include "core/object.h"
#include "tests/support/eval_tables.h"

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
    stack::mark_try_all(&words::word(words::Word::body));
    body();
}

std::string formed(const std::string& code) {
    Cell value = eval_value(code), buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    actions::form(&value, &buffer, INT_MAX);
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

const EvalTable make_from_a_spec_block_evaluates_it_in_the_new_context{
    "ObjectTest.MakeFromASpecBlockEvaluatesItInTheNewContext", define_object_functions, {
    {"o: make object! [a: 1 b: a + 1] o/b", "2"},  // a field set earlier in the spec
    {"o: make object! [a: b: 7] reduce [o/a o/b]", "[7 7]"},
    {"a: 100 o: make object! [a: 1] reduce [a o/a]", "[100 1]"},  // the spec's a is the object's
    {"o: make object! [] reflect o 'words", "[]"},
    {"o: make object! [a: 1 s: self] same? o o/s", "true"},
    {"o: make object! [a: 1 s: self] o/s/a", "1"},
    {"make object! 5", "error syntax/malconstruct"},
    {"make object! [a: 1 / 0]", "error math/zero-divide"},
}};

TEST_F(ObjectTest, MakeFromASpecBlockEvaluatesItInTheNewContext) {
    expect_table(make_from_a_spec_block_evaluates_it_in_the_new_context);
}

// Code run while an object is made or told about a change may leave by a
// non-local exit: the stacks are where the exit put them.
const EvalTable exits_leave_specs_and_handlers_with_the_stacks_in_place{
    "ObjectTest.ExitsLeaveSpecsAndHandlersWithTheStacksInPlace", define_object_functions, {
    {"early-object", "5"},
    {"reduce [1 early-object early-object 2]", "[1 5 5 2]"},
    {"count: 0 o: make object! [a: 1 on-change*: :early-change] reduce [(o/a: 2) count o/a]", "[2 0 2]"},
}};

TEST_F(ObjectTest, ExitsLeaveSpecsAndHandlersWithTheStacksInPlace) {
    expect_table(exits_leave_specs_and_handlers_with_the_stacks_in_place);
    // An error in a spec lands at the try with the error on top.
    empty_both_stacks();
    stack::mark_try_all(&words::word(words::Word::body));
    uint32_t code = stack::run_caught(CATCH_TRY, [] {
        stack::mark_try(&words::word(words::Word::try_));
        Cell type, spec = load_block("[a: 1 b: 1 / 0]");
        cell::set(&type, TYPE_DATATYPE, TYPE_OBJECT);
        stack::push(&type);
        stack::push(&spec);
        actions::make(stack::arguments(), stack::arguments(), stack::arguments() + 1);
    });
    EXPECT_EQ(code, THROW_ERROR);
    EXPECT_EQ(type_of(stack::top() - 1), TYPE_ERROR);
    EXPECT_EQ(stack::pending_error().id, ERR_math_zero_divide);
    empty_both_stacks();
}

const EvalTable make_from_a_prototype_extends_a_copy{"ObjectTest.MakeFromAPrototypeExtendsACopy",
    define_object_functions, {
    {"o: make object! [a: 1 b: 2] p: make o [b: 3 c: 4] reduce [o/a o/b p/a p/b p/c]", "[1 2 1 3 4]"},
    {"o: make object! [a: 1] p: make o [] reflect p 'words", "[a]"},
    // The new object's series are its own; its blocks see its fields.
    {"o: make object! [b: [1 2]] p: make o [] same? o/b p/b", "false"},
    {"o: make object! [b: [1 2]] p: make o [] p/b", "[1 2]"},
    {"o: make object! [a: 1 b: [a]] p: make o [a: 2] reduce [reduce o/b reduce p/b]", "[[1] [2]]"},
    // A spec object: its fields join, with copies of its series.
    {"o: make object! [a: 1] s: make object! [b: [x]] p: make o s reduce [p/a p/b same? p/b s/b]",
     "[1 [x] false]"},
    {"s: make object! [a: 5] p: make object! s p/a", "5"},
}};

TEST_F(ObjectTest, MakeFromAPrototypeExtendsACopy) {
    expect_table(make_from_a_prototype_extends_a_copy);
}

// A function held by a field is copied for an object made from its object:
// the copy's body sees the new object's fields.
const EvalTable functions_of_a_prototype_are_rebound_to_the_new_object{
    "ObjectTest.FunctionsOfAPrototypeAreReboundToTheNewObject", define_object_functions, {
    {"a: 0 o: make object! [a: 1 f: :field-a] p: make o [a: 2] reduce [o/f p/f]", "[0 2]"},
    {"a: 0 o: make object! [a: 1 f: :field-a] p: copy o p/a: 3 reduce [o/f p/f]", "[0 3]"},
    {"o: make object! [a: 1 f: :field-a] p: make o [] same? :o/f :p/f", "false"},
}};

TEST_F(ObjectTest, FunctionsOfAPrototypeAreReboundToTheNewObject) {
    expect_table(functions_of_a_prototype_are_rebound_to_the_new_object);
}

const EvalTable copy_is_shallow_unless_deep{"ObjectTest.CopyIsShallowUnlessDeep",
    define_object_functions, {
    {"o: make object! [a: 1 b: [1 2] c: #{01}] p: copy o reduce [same? o/b p/b same? o/c p/c]", "[true true]"},
    // deep copies blocks, strings and paths; other series stay shared
    {"o: make object! [b: [1 [2]] s: \"x\" c: #{01}] p: copy/deep o "
     "reduce [same? o/b p/b same? o/b/2 p/b/2 same? o/s p/s same? o/c p/c]",
     "[false false false true]"},
    {"o: make object! [a: 1] p: copy o p/a: 2 reduce [o/a p/a]", "[1 2]"},
    {"o: make object! [b: [1] c: \"x\"] p: copy/types o block! reduce [same? o/b p/b same? o/c p/c]",
     "[false true]"},
    {"o: make object! [a: 1] copy/part o 1", "error script/invalid-refine-arg"},
    {"o: make object! [a: 1] o/a: o copy/deep/types o object!", "error internal/no-cycle"},
}};

TEST_F(ObjectTest, CopyIsShallowUnlessDeep) { expect_table(copy_is_shallow_unless_deep); }

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

const EvalTable paths_read_and_set_fields{"ObjectTest.PathsReadAndSetFields",
    define_object_functions, {
    {"o: make object! [a: 1 b: [x y]] o/a", "1"},
    {"o: make object! [a: 1 b: [x y]] o/b/2", "y"},
    {"o: make object! [a: 1] o/a: 5 o/a", "5"},
    {"o: make object! [a: 1] o/A", "1"},  // any case
    {"o: make object! [i: make object! [j: 1]] o/i/j: 2 o/i/j", "2"},
    {"o: make object! [b: [1 2]] o/b/1: 9 o/b", "[9 2]"},
    {"o: make object! [a: 1] f: 'a o/:f", "1"},
    {"o: make object! [a: 1] o/zz", "error script/unset-path"},
    {"o: make object! [a: 1] o/zz: 2", "error script/invalid-path"},
    {"o: make object! [a: 1] o/1", "error script/invalid-path"},
    {"o: make object! [a: 1] o/a: () o/a", "error script/unset-path"},
}};

TEST_F(ObjectTest, PathsReadAndSetFields) { expect_table(paths_read_and_set_fields); }

// A path's word found in an object is bound to it where it stands.
TEST_F(ObjectTest, APathsWordsAreBoundToTheObjectTheyName) {
    Cell code = eval_value("o: make object! [b: 0 a: 1] code: [o/a] reduce code code");
    Cell o = eval_value("o");
    const Cell* element = block::abs_at(block::abs_at(&code, 0), 1);
    EXPECT_EQ(element->data1, o.data1);
    EXPECT_EQ(int32_t(element->data3), 1);
    // met again in another object of other fields, it is looked up there
    EXPECT_EQ(eval("o: make object! [a: 5] reduce code"), "[5]");
}

const EvalTable a_path_calls_a_function_held_in_a_field_with_its_refinements{
    "ObjectTest.APathCallsAFunctionHeldInAFieldWithItsRefinements", define_object_functions, {
    {"o: make object! [f: :pick-f] o/f 3", "3"},
    {"o: make object! [f: :pick-f] o/f/only 3", "[3]"},
    {"o: make object! [f: :pick-f] o/f/twice 3 4", "12"},
    {"o: make object! [i: make object! [f: :pick-f]] o/i/f/twice 2 5", "10"},
    {"o: make object! [f: :pick-f] o/f/never 3", "error script/no-refine"},
}};

TEST_F(ObjectTest, APathCallsAFunctionHeldInAFieldWithItsRefinements) {
    expect_table(a_path_calls_a_function_held_in_a_field_with_its_refinements);
}

// ---- Change handlers ----------------------------------------------------------------------

const EvalTable on_change_is_called_with_the_word_the_old_and_the_new_value{
    "ObjectTest.OnChangeIsCalledWithTheWordTheOldAndTheNewValue", define_object_functions, {
    {"count: 0 o: make object! [a: 1 on-change*: :log-change] count", "0"},  // not while making
    {"count: 0 o: make object! [a: 1 on-change*: :log-change] o/a: 2 reduce [count last]", "[1 [a 1 2]]"},
    {"count: 0 o: make object! [a: 1 on-change*: :log-change] o/a: 2 o/a: 3 reduce [count last]",
     "[2 [a 2 3]]"},
    {"count: 0 o: make object! [a: 1 on-change*: :log-change] put o 'a 9 reduce [count last]", "[1 [a 1 9]]"},
    {"o: make object! [a: 1 on-change*: :log-change] o/on-change*: 5 o/a: 2", "error script/invalid-obj-evt"},
    {"make object! [a: 1 on-change*: 5]", "error script/bad-field-set"},
}};

TEST_F(ObjectTest, OnChangeIsCalledWithTheWordTheOldAndTheNewValue) {
    expect_table(on_change_is_called_with_the_word_the_old_and_the_new_value);
}

// A series held at any depth by an object with on-deep-change* tells it
// about every change, before (the action) and after (its past form).
const EvalTable on_deep_change_is_called_before_and_after_a_change_of_an_owned_series{
    "ObjectTest.OnDeepChangeIsCalledBeforeAndAfterAChangeOfAnOwnedSeries", define_object_functions, {
    {"count: 0 events: [_ _ _] o: make object! [b: [1 2 3] on-deep-change*: :log-deep] "
     "poke o/b 1 10 reduce [count events o/b]",
     "[2 [[b poke 10 0 1] [b poked 10 0 1] _] [10 2 3]]"},
    // nested two levels: the outer field's word; a set-path of a block element
    {"count: 0 events: [_ _ _] o: make object! [b: [1 [2 3]] on-deep-change*: :log-deep] "
     "o/b/2/1: 20 reduce [count events]",
     "[2 [[b poke 20 0 1] [b poked 20 0 1] _]]"},
    // no new value: none
    {"count: 0 events: [_ _ _] o: make object! [s: \"abc\" on-deep-change*: :log-deep] "
     "clear next o/s reduce [count events o/s]",
     "[2 [[s clear none 1 2] [s cleared none 1 0] _] \"a\"]"},
    {"last: none o: make object! [b: [1] on-deep-change*: :log-owner] poke o/b 1 2 same? last o", "true"},
    // an unowned series tells nobody
    {"count: 0 b: [1 2] o: make object! [on-deep-change*: :log-deep] poke b 1 5 count", "0"},
    // a handler field holding no function: no call, no error
    {"count: 0 o: make object! [b: [1] on-deep-change*: :log-deep] o/on-deep-change*: 5 "
     "poke o/b 1 7 reduce [count o/b]",
     "[0 [7]]"},
}};

TEST_F(ObjectTest, OnDeepChangeIsCalledBeforeAndAfterAChangeOfAnOwnedSeries) {
    expect_table(on_deep_change_is_called_before_and_after_a_change_of_an_owned_series);
}

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
    EXPECT_EQ(made->data2, proto.data2) << "the prototype's class";
    stack::pop(1);
}

// ---- Reflection, select, put, modify --------------------------------------------------------

const EvalTable reflect_answers_by_field{"ObjectTest.ReflectAnswersByField",
    define_object_functions, {
    {"o: make object! [a: 1 b: 2] reflect o 'words", "[a b]"},
    {"o: make object! [a: 1 b: 2] w: reflect o 'words reduce w", "[1 2]"},  // bound to the object
    {"o: make object! [a: 1 b: 'c d: 'x/y] reflect o 'values", "[1 c x/y]"},
    {"o: make object! [a: 1 b: 'c d: 'x/y] reflect o 'body", "[\n    a: 1\n    b: 'c\n    d: 'x/y\n]"},
    {"o: make object! [a: 1 b: 2] reflect o 'changed", "[]"},
    {"o: make object! [a: 1 b: 2] o/b: 3 reflect o 'changed", "[b]"},
    {"o: make object! [a: 1 b: 2] o/b: 3 modify o 'changed none reflect o 'changed", "[]"},
    {"o: make object! [a: 1] modify o 'changed 1", "error script/invalid-arg"},
    {"o: make object! [a: 1] reflect o 'events?", "false"},
    {"o: make object! [a: 1 on-change*: :log-change] reflect o 'events?", "true"},
    {"o: make object! [a: 1] reflect o 'owner", "false"},
    {"o: make object! [on-deep-change*: :log-deep] reflect o 'owner", "true"},
    {"o: make object! [a: 1] reflect o 'spec", "error internal/not-done"},
}};

TEST_F(ObjectTest, ReflectAnswersByField) { expect_table(reflect_answers_by_field); }

const EvalTable select_and_put_name_fields_by_word{"ObjectTest.SelectAndPutNameFieldsByWord",
    define_object_functions, {
    {"o: make object! [a: 1 b: 2] select o 'b", "2"},
    {"o: make object! [a: 1 b: 2] k: [b:] select o k/1", "2"},
    {"o: make object! [a: 1] select o 'zz", "none"},
    {"o: make object! [a: 1] select o 1", "error script/invalid-type"},
    {"o: make object! [a: 1] put o 'a 5 o/a", "5"},
    {"o: make object! [a: 1] k: [a:] put o k/1 5", "error script/invalid-key-type"},
    {"o: make object! [a: 1] put o 'zz 5", "error script/invalid-path"},
}};

TEST_F(ObjectTest, SelectAndPutNameFieldsByWord) {
    expect_table(select_and_put_name_fields_by_word);
}

const EvalTable modify_takes_and_gives_ownership{"ObjectTest.ModifyTakesAndGivesOwnership",
    define_object_functions, {
    // owner: the object owns its series from then on
    {"last: none o: make object! [b: [1] on-change*: :log-change] modify o 'owner true "
     "reflect o 'owner",
     "true"},
    // owned none: no more notifications
    {"count: 0 o: make object! [b: [1] on-deep-change*: :log-deep] modify o 'owned none "
     "poke o/b 1 2 count",
     "0"},
    // owned [owner word]: the series tell that owner under that word
    {"count: 0 events: [_ _] t: make object! [on-deep-change*: :log-deep] o: make object! [b: [1]] "
     "modify o 'owned reduce [t 'x] poke o/b 1 2 events",
     "[[x poke 2 0 1] [x poked 2 0 1]]"},
    {"o: make object! [b: [1]] modify o 'owned 5", "error script/invalid-arg"},
}};

TEST_F(ObjectTest, ModifyTakesAndGivesOwnership) { expect_table(modify_takes_and_gives_ownership); }

// ---- Form, mold and compare ------------------------------------------------------------------

const EvalTable mold_writes_a_make_object_with_indented_fields{
    "ObjectTest.MoldWritesAMakeObjectWithIndentedFields", define_object_functions, {
    {"make object! []", "make object! []"},
    {"make object! [a: 1 b: \"x\" w: 'v]", "make object! [\n    a: 1\n    b: \"x\"\n    w: 'v\n]"},
    {"make object! [a: 1 i: make object! [j: [1 2]] e: make object! []]",
     "make object! [\n    a: 1\n    i: make object! [\n        j: [1 2]\n    ]\n    e: make object! []\n]"},
    // the handler fields are left out
    {"make object! [a: 1 on-change*: :log-change]", "make object! [\n    a: 1\n]"},
    // an object holding itself
    {"o: make object! [a: 1] o/a: o o", "make object! [\n    a: make object! [...]\n]"},
    {"mold/flat make object! [a: 1 b: [x y]]", "\"make object! [a: 1 b: [x y]]\""},
    {"mold/only make object! [a: 1 b: 2]", "\"a: 1^/b: 2\""},
    {"mold/part make object! [a: 1 b: 2] 20", "\"make object! [^/    a\""},
}};

TEST_F(ObjectTest, MoldWritesAMakeObjectWithIndentedFields) {
    expect_table(mold_writes_a_make_object_with_indented_fields);
}

// A mold that fails half way leaves no object marked as being molded.
TEST_F(ObjectTest, AFailedMoldLeavesTheCycleStackAsItWas) {
    Cell o = eval_value("o: make object! [a: 1]");
    Cell* a = object::get_values(&o);
    cell::set(a, TYPE_IMAGE);  // a type nothing molds yet
    EXPECT_EQ(error_of([&] { mold_of(o); }), "script/expect-arg");
    cell::set(object::get_values(&o), TYPE_INTEGER, 0, 1);
    EXPECT_EQ(mold_of(o), "make object! [\n    a: 1\n]");
}

TEST_F(ObjectTest, FormWritesOneLinePerField) {
    EXPECT_EQ(formed("make object! [a: 1 b: \"x\" c: 'w]"), "a: 1\nb: \"x\"\nc: 'w");
    EXPECT_EQ(formed("make object! []"), "");
    EXPECT_EQ(formed("o: make object! [a: 1] o/a: o o"), "a: make object! [...]");  // values are molded
}

const EvalTable compare_walks_the_fields_in_order{"ObjectTest.CompareWalksTheFieldsInOrder",
    define_object_functions, {
    {"o: make object! [a: 1 b: [x 2]] p: make object! [a: 1 b: [x 2]] o = p", "true"},
    {"o: make object! [a: 1] p: make object! [a: 1.0] o = p", "true"},
    {"o: make object! [a: 1] p: make object! [a: 2] o = p", "false"},
    {"o: make object! [a: 1] p: make object! [b: 1] o = p", "false"},
    {"o: make object! [a: 1] p: make object! [a: 1] same? o p", "false"},
    {"o: make object! [a: 1] same? o o", "true"},
    {"o: make object! [a: 1] o = 1", "false"},
    {"o: make object! [a: 1] o/a: o p: make object! [a: 1] p/a: p o = p", "true"},
}};

TEST_F(ObjectTest, CompareWalksTheFieldsInOrder) {
    expect_table(compare_walks_the_fields_in_order);
    Cell small = eval_value("make object! [a: 9]");
    gc::root keep(&small);
    Cell big = eval_value("make object! [a: 1 b: 1]");
    EXPECT_EQ(object::compare(&small, &big, actions::COMP_SORT), -1) << "fewer fields";
    EXPECT_EQ(object::compare(&big, &small, actions::COMP_SORT), 1);
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
        Node table1 = context::word_table(first.data1), table2 = context::word_table(second.data1);
        EXPECT_EQ(table1 == table2, c.same);
        if (c.same) {
            EXPECT_TRUE(context::shared_keys_q(first.data1) && context::shared_keys_q(second.data1));
        }
    }
    EXPECT_EQ(eval("words-of-o: reflect shape-o 'words"), "[a b]");
    EXPECT_EQ(eval("shape-o/a: 10 reduce [shape-o/a get in make object! shape-spec 'a]"), "[10 1]");
}

}  // namespace
}  // namespace zel::test
