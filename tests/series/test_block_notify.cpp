// What the owner of a block is told when the block changes, where C++
// checks what Zel code cannot: the stacks a handler's call leaves, and a
// hash! changed by each handler under each modifier, every value still
// found where it stands. (The events each modifier tells and what each
// handler leaves: tests/cases/block_notify.cases.)
#include "tests/support/owner_handlers.h"

namespace zel::test {
namespace {

class BlockNotify : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        define_owner_handlers();
        define_changing_handler("grow", "append head target 'g");
        // every cell moves on
        define_changing_handler("shift", "insert head target 'g");
    }
};

// The handler runs in a call of its own: the modifier's caller finds the
// stacks as they were.
TEST_F(BlockNotify, AHandlerRunsInACallOfItsOwn) {
    expect_results({
        {"busy: false o: make object! [b: [1 2 3] on-deep-change*: :grow] append o/b 4 sort/reverse o/b 1 + 1", "2"},
        {"events: [] o: make object! [b: [1 2 3] on-deep-change*: :tell] take o/b length? events", "2"},
    }, eval_checking_stacks);
}

// A hash! under each handler and each modifier: after the handler's changes
// and the action's own, every value is found where it stands.
TEST_F(BlockNotify, AHashChangedByItsHandlerStaysIndexed) {
    const char* actions[] = {
        "append o/b 4", "insert next o/b 0", "change next o/b [x y]", "clear next o/b", "poke o/b 2 9",
        "put o/b 2 5", "remove next o/b", "reverse o/b", "sort o/b", "swap o/b next o/b",
        "take/last o/b", "trim o/b", "move o/b tail o/b", "sort/compare o/b func [a b] [a < b]",
    };
    for (const char* action : actions) {
        for (const char* handler : {"grow", "shift", "empty"}) {
            std::string code = std::string("busy: false o: make object! [b: make hash! [1 2 3] on-deep-change*: :") +
                               handler + "] try [" + action + "]" +
                               " plain: to block! o/b ok: true foreach v plain "
                               "[if (index? find o/b v) <> index? find plain v [ok: false]] ok";
            EXPECT_EQ(eval(code), "true") << handler << ": " << action;
        }
    }
}

}  // namespace
}  // namespace zel::test
