// The binding `in` gives a word, which only C++ sees; the cases of the
// natives that evaluate code and bind words are in
// tests/cases/natives_eval.cases.
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

class EvalNatives : public ::testing::Test {
protected:
};

TEST_F(EvalNatives, BindAndIn) {
    // The word comes back bound to the function's context.
    Cell f = eval_value("f: func [a] [] :f");
    Cell w = eval_value("in :f 'a");
    EXPECT_EQ(binding_of(w), function_context_of(f));
    EXPECT_EQ(slot_of(w), 0);
}

}  // namespace
}  // namespace zel::test
