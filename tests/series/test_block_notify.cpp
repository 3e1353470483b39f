// What the owner of a block is told when the block changes: every modifying
// action of block!, hash! and the series! handlers they inherit calls
// on-deep-change* before the change with the action's word and after it with
// the past form, each time with the field word, the new value, the index and
// the count. And what is left when the owner's handler (or a sort's
// comparator) changes the very block being changed: a valid block, a hash!
// whose every value is still found, no stray cells.
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

// The events of the code run on the field b of an object told by `tell`.
std::string told(const std::string& code) {
    return eval("events: copy [] o: make object! [b: [1 2 3] on-deep-change*: :tell] " + code + " events");
}

TEST_F(BlockNotify, EveryModifierTellsItsWordsIndexAndCount) {
    expect_results({
        {"append o/b 4", "[[b append 4 3 1] [b appended 4 3 1]]"},
        {"append/dup o/b [x y] 2", "[[b append [x y] 3 4] [b appended [x y] 3 4]]"},
        {"insert next o/b 0", "[[b insert 0 1 1] [b inserted 0 1 1]]"},
        {"insert/only o/b [x y]", "[[b insert [x y] 0 1] [b inserted [x y] 0 1]]"},
        {"change next o/b [x y]", "[[b change none 1 2] [b changed none 1 2]]"},
        {"change/part next o/b 'x 2", "[[b change none 1 2] [b changed none 1 1]]"},
        {"clear next o/b", "[[b clear none 1 2] [b cleared none 1 0]]"},
        {"poke o/b 2 9", "[[b poke 9 1 1] [b poked 9 1 1]]"},
        {"remove next o/b", "[[b remove none 1 1] [b removed none 1 0]]"},
        {"remove/part o/b 2", "[[b remove none 0 2] [b removed none 0 0]]"},
        {"reverse o/b", "[[b reverse none 0 3] [b reversed none 0 3]]"},
        {"random o/b", "[[b random none 0 3] [b randomized none 0 3]]"},
        {"sort next o/b", "[[b sort none 1 0] [b sorted none 1 2]]"},
        {"take o/b", "[[b take none 0 1] [b taken none 0 0]]"},
        {"take/last/part o/b 2", "[[b take none 0 2] [b taken none 0 0]]"},
        {"trim o/b", "[[b trim none 0 0] [b trimmed none 0 0]]"},
        {"swap o/b next o/b", "[[b swap none 0 1] [b swap none 1 1] [b swaped none 0 1] [b swaped none 1 1]]"},
        {"move o/b tail o/b", "[[b move [2 3 1] 0 1] [b moved none 2 1]]"},
        {"move [x] next o/b", "[[b move [] 0 1] [b moved none 1 1]]"},
    }, told);
}

TEST_F(BlockNotify, PutTellsEvenWhenTheValueIsEqual) {
    expect_results({
        {"o: make object! [b: [k 1] on-deep-change*: :tell] put o/b 'k 1 events",
         "[[b put 1 1 1] [b put-ed 1 1 1]]"},
        {"o: make object! [b: [k 1] on-deep-change*: :tell] put o/b 'k 2 events",
         "[[b put 2 1 1] [b put-ed 2 1 1]]"},
        {"o: make object! [b: [k 1] on-deep-change*: :tell] put o/b 'j 2 events",
         "[[b put 2 2 1] [b put-ed 2 2 1]]"},
        {"o: make object! [b: [k] on-deep-change*: :tell] put o/b 'k 2 reduce [o/b events]",
         "[[k 2] [[b put 2 1 1] [b put-ed 2 1 1]]]"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

TEST_F(BlockNotify, BothSidesOfASwapAndOfAMoveAreTold) {
    expect_results({
        {"o: make object! [a: [1] b: [2] on-deep-change*: :tell] swap o/a o/b events",
         "[[a swap none 0 1] [b swap none 0 1] [a swaped none 0 1] [b swaped none 0 1]]"},
        {"o: make object! [a: [1 2] b: [3] on-deep-change*: :tell] move o/a o/b events",
         "[[b move [2] 0 1] [a move none 0 1] [b moved none 0 1] [a moved none 0 1]]"},
        {"o: make object! [a: [1 2] on-deep-change*: :tell] c: [3] move o/a c reduce [c events]",
         "[[1 3] [[a move none 0 1] [a moved none 0 1]]]"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

TEST_F(BlockNotify, TheHandlerSeesTheOldContentsThenTheNew) {
    expect_results({
        {"append o/b 4", "[[append [1 2 3]] [appended [1 2 3 4]]]"},
        {"remove o/b", "[[remove [1 2 3]] [removed [2 3]]]"},
        {"change o/b 9", "[[change [1 2 3]] [changed [9 2 3]]]"},
        {"reverse o/b", "[[reverse [1 2 3]] [reversed [3 2 1]]]"},
        {"sort/reverse o/b", "[[sort [1 2 3]] [sorted [3 2 1]]]"},
    }, [](const std::string& code) {
        return eval("events: copy [] o: make object! [b: [1 2 3] on-deep-change*: :look] " + code + " events");
    });
}

TEST_F(BlockNotify, AHashIsToldToo) {
    expect_results({
        {"o: make object! [h: make hash! [3 1 2] on-deep-change*: :tell] sort o/h events",
         "[[h sort none 0 0] [h sorted none 0 3]]"},
        {"o: make object! [h: make hash! [k 1] on-deep-change*: :tell] put o/h 'k 1 events",
         "[[h put 1 1 1] [h put-ed 1 1 1]]"},
        {"o: make object! [h: make hash! [1 2] on-deep-change*: :tell] append o/h 3 events",
         "[[h append 3 2 1] [h appended 3 2 1]]"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

// The handler runs in a call of its own: the modifier's caller finds the
// stacks as they were; an error it raises leaves the block unchanged when
// raised before the change, and reaches the caller.
TEST_F(BlockNotify, AHandlerRunsInACallOfItsOwn) {
    expect_results({
        {"busy: false o: make object! [b: [1 2 3] on-deep-change*: :grow] append o/b 4 sort/reverse o/b 1 + 1", "2"},
        {"events: [] o: make object! [b: [1 2 3] on-deep-change*: :tell] take o/b length? events", "2"},
    }, eval_checking_stacks);
    expect_results({
        {"o: make object! [b: [1 2 3] on-deep-change*: func [o w t a n i p] [if a = 'append [1 + none]]] "
         "append o/b 4",
         "error script/invalid-type"},
        {"o/b", "[1 2 3]"},
    });
}

// A handler that appends to the block it is told about, before and after
// the change: every modifier works on the block as the handler left it.
TEST_F(BlockNotify, AHandlerThatGrowsTheBlock) {
    expect_after_handler("b", "[1 2 3]", {
        {"grow", "append o/b 4", "[1 2 3 g 4 g]"},
        // a block added to itself adds the cells the owner was told of
        {"grow", "append o/b o/b", "[1 2 3 g 1 2 3 g]"},
        {"grow", "insert next o/b o/b", "[1 1 2 3 2 3 g g]"},
        {"grow", "change next o/b o/b", "[1 1 2 3 g]"},
        {"grow", "insert next o/b 0", "[1 0 2 3 g g]"},
        {"grow", "change next o/b [x y]", "[1 x y g g]"},
        {"grow", "clear next o/b", "[1 g]"},
        {"grow", "poke o/b 2 9", "[1 9 3 g g]"},
        {"grow", "put o/b 2 5", "[1 2 5 g g]"},
        {"grow", "remove next o/b", "[1 3 g g]"},
        {"grow", "reverse o/b", "[3 2 1 g g]"},
        {"grow", "sort o/b", "[1 2 3 g g]"},
        {"grow", "swap o/b next o/b", "[2 1 3 g g g g]"},
        {"grow", "take/last o/b", "[1 2 3 g]"},
        {"grow", "trim o/b", "[1 2 3 g g]"},
        {"grow", "move o/b tail o/b", "[2 3 g 1 g]"},
        {"grow", "random o/b sort o/b", "[1 2 3 g g g g]"},
    });
}

// A handler that empties the block before the change: the change meets an
// empty block, whatever head it was called with.
TEST_F(BlockNotify, AHandlerThatEmptiesTheBlock) {
    expect_after_handler("b", "[1 2 3]", {
        {"empty", "append o/b 4", "[4]"},
        {"empty", "append o/b o/b", "[]"},
        {"empty", "insert at o/b 3 o/b", "[]"},
        {"empty", "change at o/b 3 o/b", "[]"},
        {"empty", "insert at o/b 3 0", "[0]"},
        {"empty", "change at o/b 3 [x y]", "[x y]"},
        {"empty", "poke o/b 2 9", "error script/out-of-range"},
        {"empty", "put o/b 2 5", "[2 5]"},
        {"empty", "remove next o/b", "[]"},
        {"empty", "reverse o/b", "[]"},
        {"empty", "random o/b", "[]"},
        {"empty", "sort/compare o/b func [a b] [a < b]", "[]"},
        {"empty", "swap o/b next o/b", "[]"},
        {"empty", "take/last o/b", "[]"},
        {"empty", "trim next o/b", "[]"},
        {"empty", "move o/b tail o/b", "[]"},
        {"empty", "move next o/b c: copy [x]", "[]"},
    });
}

// put looks its key up again after the handler: the value goes after the
// key wherever the handler left it, and a key the handler removed comes back.
TEST_F(BlockNotify, PutFindsItsKeyAgainAfterTheHandler) {
    expect_after_handler("b", "[1 2 3]", {
        {"shift", "put o/b 2 5", "[g g 1 2 5]"},
        {"shift", "put o/b 3 5", "[g g 1 2 3 5]"},
        {"empty", "put o/b 3 5", "[3 5]"},
    });
    expect_after_handler("b", "make hash! [k 1 j 2]", {{"shift", "put o/b 'k 5", "make hash! [g g k 5 j 2]"}});
}

// take takes what its arguments name once the handler has run: the last
// cells are the last ones then; nothing left, nothing taken.
TEST_F(BlockNotify, TakeTakesWhatIsThereAfterTheHandler) {
    expect_results({
        {"busy: false o: make object! [b: [1 2 3] on-deep-change*: :grow] take/last o/b", "g"},
        {"busy: false o: make object! [b: [1 2 3] on-deep-change*: :grow] take/last/part o/b 2", "[3 g]"},
        {"busy: false o: make object! [b: [1 2 3] on-deep-change*: :grow] reduce [take o/b o/b]", "[1 [2 3 g g]]"},
        {"o: make object! [b: [1 2 3] on-deep-change*: :empty] take next o/b", "[]"},
        {"o: make object! [b: make hash! [1 2 3] on-deep-change*: :empty] t: take o/b append t 5 find t 5",
         "make hash! [5]"},
    });
}

// The same against a hash!: after the handler's changes and the action's
// own, every value is found where it stands.
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

// A comparator that appends to the block being sorted, while the block's
// owner is told too: the sorted cells go back where the block still has them.
TEST_F(BlockNotify, AComparatorThatGrowsAnOwnedBlock) {
    expect_results({
        {"o: make object! [b: [3 1 2] on-deep-change*: :tell] "
         "sort/compare o/b func [x y] [append o/b 0 x < y] reduce [copy/part o/b 3 pick events 1 pick tail events -1]",
         "[[1 2 3] [b sort none 0 0] [b sorted none 0 3]]"},
        {"o: make object! [b: make hash! [3 1 2] on-deep-change*: :grow] busy: false "
         "sort/compare o/b func [x y] [append o/b 0 x < y] reduce [copy/part o/b 3 index? find o/b 3]",
         "[make hash! [1 2 3] 3]"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

}  // namespace
}  // namespace zel::test
