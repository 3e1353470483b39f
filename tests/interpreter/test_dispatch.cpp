// Action dispatch: every action reaches the handler of its first argument's
// type (inherited slots included), the lookup's errors, and the entries'
// decoding of refinements (/part and /dup of the adding actions, form and
// mold limits, pick's index, length? of -1).
#include <iterator>
#include <string>
#include <utility>

#include "foundation/compare.h"
#include "interpreter/dispatch.h"
#include "scalars/typeset.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"

namespace zel::test {
namespace {

// Two test datatypes in the spare rows of the registry: a parent whose
// handlers only record which action ran, and a child that inherits them all.
constexpr int STUB_PARENT = 55;
constexpr int STUB_CHILD = 56;

struct Record {
    int action = 0;
    int count = 0;     // a number the handler received (part count, index)
    bool flag = false;  // /only
    int dup = 0;
    int value_head = 0;
};
Record g_record;
int g_length_answer = 3;

template <int A, typename F>
struct Stub;
template <int A, typename R, typename... Args>
struct Stub<A, R (*)(Args...)> {
    static R run(Args... args) {
        g_record.action = A;
        if constexpr (A == ACT_APPEND || A == ACT_INSERT || A == ACT_CHANGE) {
            auto tuple = std::make_tuple(args...);
            g_record.count = std::get<2>(tuple);
            g_record.flag = std::get<3>(tuple);
            g_record.dup = std::get<4>(tuple);
            g_record.value_head = head_of(*std::get<1>(tuple));
        }
        if constexpr (A == ACT_PICK || A == ACT_POKE) g_record.count = std::get<1>(std::make_tuple(args...));
        if constexpr (std::is_same_v<R, Cell*>) {
            return stack::arguments();
        } else if constexpr (A == ACT_LENGTH_Q) {
            return g_length_answer;
        } else if constexpr (std::is_same_v<R, int>) {
            return A == ACT_COMPARE ? 0 : 1;
        } else {
            return A == ACT_EVEN_Q;
        }
    }
};

template <int... A>
void set_stubs(datatype::TypeRecord& r, std::integer_sequence<int, A...>) {
    (r.set<A + 1>(&Stub<A + 1, action::HandlerOf<A + 1>>::run), ...);
}

class DispatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        datatype::TypeRecord parent(STUB_PARENT, 0, "stub-parent!");
        set_stubs(parent, std::make_integer_sequence<int, ACTION_COUNT>());
        datatype::register_type(parent);
        datatype::register_type(datatype::TypeRecord(STUB_CHILD, STUB_PARENT, "stub-child!", true));
        Cell v;
        cell::set(&v, STUB_CHILD);
        set_global("v", v);
        Cell t;
        cell::set(&t, TYPE_DATATYPE, STUB_CHILD);
        set_global("child-type", t);
    }
    void SetUp() override { g_record = Record{}; }
};

// The code calling action `id` with a stub value first and, for the other
// arguments, a value its typeset takes.
std::string call_code(int id) {
    Cell action = *context::get_by_symbol(symbol_of(word::load(ACTION_NAMES[id])), context::g_global);
    std::string code = ACTION_NAMES[id];
    code += id == ACT_MAKE || id == ACT_TO ? " child-type" : " v";
    Cell cache = interpreter::arg_cache(&action);
    Series* s = memory::series_of(node_of(cache));
    bool first = true;
    for (Cell* c = s->cells() + head_of(cache); c < s->cell_tail(); c++) {
        if (type_of(c) == TYPE_REFINEMENT || type_of(c) == TYPE_INTEGER) break;
        if (interpreter::arg_kind(c) == 3) continue;
        if (first) {
            first = false;
            continue;
        }
        code += typeset::has(c, STUB_CHILD) ? " v" : typeset::has(c, TYPE_WORD) ? " 'w" : " 1";
    }
    return code;
}

bool first_takes_stub(int id) {
    Cell action = *context::get_by_symbol(symbol_of(word::load(ACTION_NAMES[id])), context::g_global);
    Cell cache = interpreter::arg_cache(&action);
    Cell first = memory::series_of(node_of(cache))->cells()[head_of(cache)];
    return id == ACT_MAKE || id == ACT_TO || typeset::has(&first, STUB_CHILD);
}

void run_entry(int id) {
    empty_both_stacks();
    Cell v;
    cell::set(&v, STUB_CHILD);
    frames::mark_try_all(&words::word(words::Word::body));
    stack::push(&v);
    int32_t slots[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    EXPECT_FALSE(dispatch::entry(id)(false, slots));
    empty_both_stacks();
}

TEST_F(DispatchTest, EveryActionReachesTheHandlerOfItsFirstArgumentsType) {
    for (int id = 1; id <= ACTION_COUNT; id++) {
        if (id == ACT_EVAL_PATH || id == ACT_SET_PATH || id == ACT_COMPARE) continue;
        g_record = Record{};
        std::string code = call_code(id);
        SCOPED_TRACE(code);
        if (first_takes_stub(id)) {
            EXPECT_EQ(eval_error(code), "");
        } else {
            // form and mold take any-type!, which no test type is in: their
            // entries are called as the evaluator would.
            run_entry(id);
        }
        EXPECT_EQ(g_record.action, id);
    }
    g_record = Record{};
    eval_value("v/1");
    EXPECT_EQ(g_record.action, ACT_EVAL_PATH);
    g_record = Record{};
    Cell v;
    cell::set(&v, STUB_CHILD);
    EXPECT_TRUE(compare::compare(&v, &v, compare::COMP_EQUAL));
    EXPECT_EQ(g_record.action, ACT_COMPARE);
}

TEST_F(DispatchTest, UnsupportedActionNamesTheActionTheTypeAndTheFirstArgument) {
    ErrorThrow e = caught_error([] { eval_value("add none 1"); });
    EXPECT_EQ(e.id, ERR_script_expect_arg);
    EXPECT_EQ(mold_of(e.args[0]), "add");
    EXPECT_EQ(mold_of(e.args[1]), "none!");
    EXPECT_EQ(mold_of(e.args[2]), "value1");
    ErrorThrow op = caught_error([] { eval_value("none + 1"); });
    EXPECT_EQ(mold_of(op.args[0]), "+");
    EXPECT_EQ(mold_of(op.args[2]), "value1");
    ErrorThrow made = caught_error([] { eval_value("make unset! 1 make none! 1 make symbol! 1"); });
    EXPECT_EQ(mold_of(made.args[0]), "make");
    EXPECT_EQ(mold_of(made.args[2]), "type");
}

TEST_F(DispatchTest, MakeAndToDispatchOnTheTypeTheyName) {
    EXPECT_EQ(eval("make integer! 12"), "12");
    EXPECT_EQ(eval("to integer! 12.7"), "12");
    eval_value("make child-type 1");
    EXPECT_EQ(g_record.action, ACT_MAKE);
}

TEST_F(DispatchTest, PartAndDupOfTheAddingActions) {
    struct PartCase {
        const char* code;
        int action;  // 0: the handler is not called
        int count;
        bool only;
        int dup;
        int value_head;
    };
    const PartCase cases[] = {
        {"append v 1", ACT_APPEND, -1, false, 1, 0},
        {"append/only v [1]", ACT_APPEND, -1, true, 1, 0},
        {"append/dup v 1 3", ACT_APPEND, -1, false, 3, 0},
        {"append/dup v 1 0", 0, 0, false, 0, 0},
        {"append/part v [1 2 3] 2", ACT_APPEND, 2, false, 1, 0},
        {"append/part v [1 2 3] 0", 0, 0, false, 0, 0},
        {"b: [1 2 3] append/part v b next next b", ACT_APPEND, 2, false, 1, 0},
        {"b: [1 2 3] append/part v next next b b", ACT_APPEND, 2, false, 1, 0},
        {"b: [1 2 3] append/part v next next next b -5", ACT_APPEND, 3, false, 1, 0},
        {"b: [1 2 3] append/part v next b 9", ACT_APPEND, 9, false, 1, 1},
        {"insert/part/only/dup v [1 2] 1 2", ACT_INSERT, 1, true, 2, 0},
        {"change v 1", ACT_CHANGE, -1, false, 1, 0},
    };
    for (const PartCase& c : cases) {
        g_record = Record{};
        EXPECT_EQ(eval_error(c.code), "") << c.code;
        EXPECT_EQ(g_record.action, c.action) << c.code;
        if (!c.action) continue;
        EXPECT_EQ(g_record.count, c.count) << c.code;
        EXPECT_EQ(g_record.flag, c.only) << c.code;
        EXPECT_EQ(g_record.dup, c.dup) << c.code;
        EXPECT_EQ(g_record.value_head, c.value_head) << c.code;
    }
    EXPECT_EQ(eval_error("append/part v 5 1"), "script/invalid-part");
    EXPECT_EQ(eval_error("append/part v [1 2] [1 2]"), "script/invalid-refine-arg");
    EXPECT_EQ(eval_error("append/part v [1 2] \"ab\""), "script/invalid-refine-arg");
    ErrorThrow e = caught_error([] { eval_value("append/part v [1] [2]"); });
    EXPECT_EQ(mold_of(e.args[0]), "/part");
}

TEST_F(DispatchTest, EntryResults) {
    g_length_answer = -1;
    EXPECT_EQ(eval("length? v"), "none");
    g_length_answer = 7;
    EXPECT_EQ(eval("length? v"), "7");
    EXPECT_EQ(eval("even? v"), "true");
    EXPECT_EQ(eval("odd? v"), "false");
    EXPECT_EQ(eval("poke v 1 42"), "42");
    EXPECT_EQ(eval("form/part [1 2] 0"), "\"\"");
    EXPECT_EQ(eval("mold/part [1 2] -1"), "\"\"");
    EXPECT_EQ(eval("mold/part [123 456] 4"), "\"[123\"");
    EXPECT_EQ(eval("form/part [123 456] 5"), "\"123 4\"");
    EXPECT_EQ(eval("pick [a b] true"), "a");
    EXPECT_EQ(eval("pick [a b] false"), "b");
    struct IndexCase {
        const char* code;
        int index;
    };
    for (const IndexCase& c : {IndexCase{"pick v true", 1}, IndexCase{"pick v false", 2}, IndexCase{"pick v 5", 5},
                               IndexCase{"pick v \"x\"", 0}, IndexCase{"poke v -2 0", -2}}) {
        g_record = Record{};
        eval_value(c.code);
        EXPECT_EQ(g_record.count, c.index) << c.code;
    }
}

TEST_F(DispatchTest, CopyTypesMustBeADatatypeOrTypeset) {
    ErrorThrow e = caught_error([] { eval_value("copy/types [1] 5"); });
    EXPECT_EQ(e.id, ERR_script_expect_arg);
    EXPECT_EQ(mold_of(e.args[0]), "copy");
    EXPECT_EQ(mold_of(e.args[2]), "kind");
}

TEST_F(DispatchTest, ComparisonRaisesOnlyForOrderings) {
    EXPECT_EQ(eval("1 = \"a\""), "false");
    EXPECT_EQ(eval("1 <> \"a\""), "true");
    ErrorThrow e = caught_error([] { eval_value("1 < \"a\""); });
    EXPECT_EQ(e.id, ERR_script_invalid_compare);
    EXPECT_EQ(mold_of(e.args[0]), "1");
    EXPECT_EQ(mold_of(e.args[1]), "\"a\"");
}

// A port! whose actor (its object's third field) is a handle! is never run
// through the handle: every action from append on raises invalid-port.
TEST_F(DispatchTest, PortActionsThroughAHandleAreRefused) {
    Cell words = load("spec scheme actor");
    gc::root keep_words(&words);
    Node ctx = context::create(3, false, false, &words, context::KIND_OBJECT);
    Cell port;
    cell::set(&port, TYPE_PORT, ctx);
    gc::root keep_port(&port);
    cell::set(context::values_in(ctx) + 2, TYPE_HANDLE, 0, 1);
    EXPECT_EQ(error_of([&] { dispatch::get_handler_in(TYPE_PORT, &port, ACT_READ); }), "access/invalid-port");
    EXPECT_EQ(error_of([&] { dispatch::get_handler_in(TYPE_PORT, &port, ACT_APPEND); }), "access/invalid-port");
    EXPECT_NE(dispatch::get_handler_in(TYPE_PORT, &port, ACT_FORM), nullptr);  // before append: port!'s own
    cell::set(context::values_in(ctx) + 2, TYPE_NONE);
    EXPECT_EQ(error_of([&] { dispatch::get_handler_in(TYPE_PORT, &port, ACT_READ); }), "script/expect-arg");
}

// The field positions dispatch reads a port's object by are those of the
// port object start-up builds.
TEST_F(DispatchTest, PortFieldsAreThoseOfTheStandardPort) {
    const std::pair<const char*, int> fields[] = {
        {"spec", dispatch::PORT_SPEC},   {"scheme", dispatch::PORT_SCHEME}, {"actor", dispatch::PORT_ACTOR},
        {"awake", dispatch::PORT_AWAKE}, {"state", dispatch::PORT_STATE},   {"data", dispatch::PORT_DATA},
        {"extra", dispatch::PORT_EXTRA},
    };
    std::string by_position[std::size(fields)];
    for (const auto& [name, at] : fields) by_position[at] = name;
    std::string expected = "[";
    for (const std::string& name : by_position) expected += (expected.size() > 1 ? " " : "") + name;
    EXPECT_EQ(eval("reflect system/standard/port 'words"), expected + "]");
}

TEST_F(DispatchTest, PathStepOnATypeWithoutEvalPath) {
    Cell element;
    cell::set(&element, TYPE_INTEGER, 0, 1);
    Cell parent = none::g_none;
    ErrorThrow e = caught_error([&] {
        dispatch::eval_path(&parent, &element, nullptr, nullptr, nullptr, nullptr, 0, false, true, false);
    });
    EXPECT_EQ(e.id, ERR_script_bad_path_type2);
    EXPECT_EQ(mold_of(e.args[1]), "none!");
}

}  // namespace
}  // namespace zel::test
