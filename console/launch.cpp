// The console's start: `cli-console-ctx/launch` evaluated on empty stacks
// under a barrier frame, as every evaluation of the console runs.
//
// Relies on: the lexer (the call's text), the evaluator, the stacks.
#include "console/launch.h"

#include "foundation/frames.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "lexer/lexer.h"
#include "words/words.h"

namespace zel::console {

int launch() {
    static const char text[] = "cli-console-ctx/launch";
    Cell code;
    lexer::scan(&code, reinterpret_cast<const uint8_t*>(text), int64_t(sizeof text - 1), 0);
    stack::push(&code);
    Cell* block = stack::arguments();
    frames::mark_try_all(&words::word(words::Word::body));
    try {
        (void)interpreter::eval_block(block, true);
    } catch (const ErrorThrow& e) {
        exits::report_uncaught(&e.value);
    }
    return 0;
}

}  // namespace zel::console
