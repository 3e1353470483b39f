// The evaluator: blocks of values turned into results, and calls.
//
// It walks a block one expression at a time on the stacks of frames.h:
// literals evaluate to themselves, words are looked up and, when they hold a
// function, native, action or routine, called with the arguments that follow;
// set-words and set-paths assign; parens are nested blocks; a word holding an
// op! after an expression takes that expression as its left operand (strictly
// left to right: 1 + 2 * 3 is 9).
//
// Two evaluators share the work. While nothing traces, blocks, parens,
// function bodies and the branches of if, unless and either run in the block
// loop (eval_loop.cpp), which keeps what would be C++ recursion in records
// beside the call frames; it hands the rarer kinds of expressions (paths,
// get-words, calls with refinements, routines) to the recursive evaluator
// below, which also runs everything traced. Both leave the same stacks,
// frames, code position, errors and events.
//
// Results. An expression evaluated with `sub` clear writes its value into the
// current result cell (stack::arguments(), top just above it); with `sub` set
// it pushes it. A block's value is its last expression's; eval_block leaves it
// in the caller's result cell (chain) or pushed.
//
// Positions. Code is a block cell the caller keeps in a stable place (a C++
// local or an argument-stack cell) and positions are cell indexes counted
// from the first cell of its buffer, like a block's head. Nothing here keeps a
// pointer into a block's buffer across an evaluation: the code being run may
// change its own block, and compaction may move buffers at the safe point
// between two expressions. A block cut short while it runs ends at its new
// tail; cells appended to it are not run.
//
// Exits. Every entry answers an Exit (exits::Exit, exits.h) or a Next, whose
// `exit` is non-zero when break, continue, return or exit is on its way to
// its target: the stacks have already moved there, so the caller returns it
// at once without touching them (see exits.h). Errors and throw are C++
// exceptions. Natives that run Zel code re-derive every buffer pointer
// afterwards.
//
// Calls. A call pushes a copy of the callable (unless infix), a frame named
// by the calling word, its arguments (fetched by the callee's argument cache,
// built once from its spec), runs it and leaves its result where the callable
// was. Natives and actions are C++ entries (natives.h) taking the refinement
// slots; function bodies are evaluated with the function context's values on
// the argument stack. While nothing traces, an operator between two integers
// that cannot fail (add, subtract and multiply without overflow, the
// comparisons) is computed in place of its call, which would give the same
// value and stacks.
//
// Relies on: the stacks and exits, contexts and words, the datatype registry
// and the action entries (dispatch.h), the natives table, typesets (argument
// checks), the trace hooks (trace.h).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "interpreter/exits.h"
#include "interpreter/function.h"

namespace zel::interpreter {

using exits::Exit;

// A position after an evaluation. When `exit` is non-zero an exit is on its
// way (position is then meaningless): return it.
struct [[nodiscard]] Next {
    int32_t position;
    uint32_t exit;
};

inline Next exiting(Exit e) { return Next{0, e.code}; }

// Code being run: a block cell the caller keeps in a stable place, and the
// address of its buffer, taken again only when some buffer has moved since
// (memory::g_buffer_moves). A block cell converts to it, so every entry
// below takes a block cell where it takes Code.
class Code {
public:
    Code(const Cell* block) : block_(block) {}
    // With the block's buffer, already looked up.
    Code(const Cell* block, Series* series)
        : block_(block), series_(series), cells_(series->cells()), moves_(memory::g_buffer_moves) {}
    const Cell* block() const { return block_; }
    Cell* cells() const {
        if (moves_ != memory::g_buffer_moves) [[unlikely]]
            refresh();
        return cells_;
    }
    int32_t tail() const {
        if (moves_ != memory::g_buffer_moves) [[unlikely]]
            refresh();
        return int32_t(series_->used() / sizeof(Cell));
    }

private:
    // A buffer's first unit in use never changes while the buffer lives
    // (only a replacement, which counts as a move, makes a new one), so the
    // first cell's address is kept with the buffer's.
    void refresh() const {
        series_ = memory::series_of(block_->data2);
        cells_ = series_->cells();
        moves_ = memory::g_buffer_moves;
    }
    const Cell* block_;
    mutable Series* series_ = nullptr;
    mutable Cell* cells_ = nullptr;
    mutable uint32_t moves_ = ~0u;
};

// The interpreter's code-position cell: a copy of the block being evaluated,
// its head at the expression running; saved and restored by each block
// evaluation. Error construction copies it (near); the collector marks it.
extern Cell g_code_position;

// Start-up: the code-position cell becomes unset!.
void init();

// ---- Blocks and expressions ------------------------------------------------------------

// Every expression of the block from its head, under a frame of its own
// (kind 7, named <body>). An empty block gives unset!. The value goes to the
// caller's result cell (chain) or stays pushed.
Exit eval_block(const Cell* block, bool chain);
// The last step of a native that evaluates `block` into its result cell
// (a branch of if or either, do's block, switch's case): when the block loop
// made the call, the block runs there in the native's place, its frame kept
// until the block ends; otherwise it is evaluated here. The native returns
// what this answers, and does nothing after it.
Exit hand_back(const Cell* block);
// One expression at `position` (before `end`); the infix check follows
// unless `no_infix`. A function value met directly is called unless `passive`.
Next eval_expression(const Code& code, int32_t position, int32_t end, bool no_infix, bool sub,
                     bool passive);
// The expression at the block's head, into the result cell; answers the
// index after it, or at the tail unset! and the head unchanged (do/next).
Next eval_next(const Cell* block);
// One expression under a frame of its own named <body>: its value into the
// caller's result cell (sub clear) or pushed (any, all, case, reduce).
Next eval_one(const Code& code, int32_t position, int32_t end, bool sub);
// A path (get: a get-path; set: a set-path storing `new_value`). A function
// at its head, or reached by it, is called with the elements after it as
// refinements and the arguments that follow at `position` in `code` (null
// when there is no code: none can be fetched).
Next eval_path(const Cell* path, const Code& code, int32_t position, int32_t end, bool set, bool get,
               bool sub, const Cell* new_value);
// A scalar (pair!, tuple! ...) reached by a path is a copy: when a set-path
// changes one of its components, the changed value goes back where the copy
// came from: the word that starts the path (`index` 1) or the series or
// object before it (`owner` at `owner_element`), whose owner is told.
void store_back(const Cell* changed, const Cell* path, Cell* owner, Cell* owner_element, int index);

// ---- Calls -------------------------------------------------------------------------------

// Fetch modes: an ordinary call, or apply with an argument block (all: every
// argument and every refinement in spec order, refinements as logic!; plain
// apply: the arguments, then refinements each followed by the expression
// that activates it and its arguments; safer: each argument is a single
// value, and those of an inactive refinement are skipped unevaluated).
enum FetchMode : int { MODE_CALL = 0, MODE_APPLY_ALL = 1, MODE_APPLY = 2, MODE_SAFER = 4 };

// Calls a native!, action!, function! or routine! (an op! is retyped to the
// type it wraps first) with the arguments at `position` in `code`, the
// refinements of `path` from `path_position` (path null: none), under the
// name word `name` (anything but a word! names the call <anon>). With
// `infix` the left operand is the last pushed cell. The result ends where the
// callable was pushed (in the result cell too unless `sub`).
Next call(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end, bool sub,
          const Cell* path, int32_t path_position, int mode, bool infix);
// call of a callable met in a path (not an op!) with the path's elements
// from `from` on as its refinements; its result also goes to the result
// cell unless `sub`.
Next call_in_path(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end, bool sub,
                  const Cell* path, int32_t from);
// The callable a path reaches at once, while nothing traces: the head
// word's function, or an object's field holding one through a field word
// bound to that object (the path walk binds it). Its name word, and `from`
// the position of the path's first refinement (its tail: none). False when
// the path is not of that kind (or the stack has no room for the walk).
bool path_target(const Cell* path, const Cell** callable, const Cell** name, int32_t* from);
// The call of what path_target found, with the path's refinements and the
// arguments at `position`.
Next call_target(const Cell* path, const Cell* callable, const Cell* name, int32_t from, const Code& code,
                 int32_t position, int32_t end, bool sub);
// The calls eval_path's walk makes at once, made while nothing traces
// without the walk: path_target's callable called by call_target. False,
// having done nothing, for any other path.
bool call_path(const Cell* path, const Code& code, int32_t position, int32_t end, bool sub, Next* out);
// The argument cache's summary word (function::cache_summary): PLAIN_CALL |
// n when the cache holds nothing but n evaluated arguments (and a return:
// type), the shape of most calls, which take the short path.
constexpr uint32_t PLAIN_CALL = 0x80000000;
// n for a function, native or action whose cache is built and says so; -1
// otherwise.
inline int32_t plain_arity(const Cell* callable) {
    uint32_t summary = function::cache_summary(callable->data3);
    if (!(summary & PLAIN_CALL)) return -1;
    return int32_t(summary & ~PLAIN_CALL);
}
// The summary of a cache that is not plain but begins with n evaluated
// arguments before the first refinement or a function's locals (a return:
// among them excepted), routines' excepted: LEADING_PLAIN | n. Ordinary
// calls, with or without a path's refinements, fetch those arguments as a
// plain call does.
constexpr uint32_t LEADING_PLAIN = 0x40000000;
// n for a function, native or action whose cache is built and says so; -1
// otherwise.
inline int32_t leading_arity(const Cell* callable) {
    uint32_t summary = function::cache_summary(callable->data3);
    if (!(summary & LEADING_PLAIN)) return -1;
    return int32_t(summary & ~LEADING_PLAIN);
}
// call without a path, apply block or routine, for a callable of
// plain_arity n, named by the word (copied: code may move the cells they
// came from). While nothing traces, a native or action over two integers
// that the shortcut computes is not dispatched.
Next call_plain(Cell callable, Cell name, const Code& code, int32_t position, int32_t end, bool sub, bool infix,
                uint32_t n);
// Fetches the arguments of the call whose frame is on top, and runs a
// native's or action's entry. Answers the position after the arguments.
Next fetch_args(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end,
                const Cell* path, int32_t path_position, int mode, bool infix);
// Runs a function whose arguments are in place (its frame on top), called
// by the word `name` (null: none), which trace events name.
Exit call_function(const Cell* function, const Cell* name = nullptr);
// Evaluates a function's body with its context's values on the argument
// stack, its frame the target of return and exit; traced, it sends the
// prolog and epilog events around the body.
Exit run_body(const Cell* function, const Cell* body, const Cell* name = nullptr);

// The argument cache of a callable, built on its first call from its spec:
// a block! (kept in the second cell of the callable's more block) whose
// cells are those of the more block after the block's own cells, its fourth
// word a summary for the calls' short path (function.h reads the layout).
// Its cells, in spec order:
//   argument word   typeset!, header bits ARG_KIND_SHIFT.. the ArgKind:
//                   evaluated (word), taken as it stands (get-word), as it
//                   stands but parens, get-words and get-paths evaluated
//                   (lit-word), or the return: type (never fetched)
//   refinement      a copy; data3 its ordinal (natives and actions) or the
//                   index of its logic! cell among the call's cells (functions)
//   integer!        last: the number of refinements (natives and actions
//                   with refinements) or of /local and its words (functions)
// A set-word other than return: raises script bad-func-def.
Cell arg_cache(const Cell* callable);
// Builds it; answers the more block's node. Functions and routines build
// theirs when they are made, from the spec their context was made from.
Node build_arg_cache(const Cell* callable);
// The cells a call of the callable pushes after it: arguments, for a
// function or routine also its refinements, their arguments and its locals.
int32_t call_cells(const Cell* callable);
enum ArgKind : int { ARG_EVALUATED = 0, ARG_GET = 1, ARG_LITERAL = 2, ARG_RETURN = 3 };
constexpr uint32_t ARG_KIND_SHIFT = 20;
constexpr uint32_t ARG_KIND_MASK = 3u << ARG_KIND_SHIFT;
inline int arg_kind(const Cell* cache_cell) { return int((cache_cell->header & ARG_KIND_MASK) >> ARG_KIND_SHIFT); }

// The spec word of cache cell `index` (for messages), or none.
Cell arg_word(const Cell* callable, int index);

// The value of the word naming a running call, when it holds a callable now.
const Cell* running_callable(const Cell* word);
// The words an expect-arg error names: the running call's word and the
// word of its spec's argument `index` (cache order), none when unknown.
void expect_arg_words(int index, Cell* function, Cell* argument);

// Checks the call's argument cells against the callable's argument cache:
// what a native does when its check flag is set. A mismatch raises script
// expect-arg.
void check_args(const Cell* callable, const int32_t* refinements);

// Pushes the cells of a call from C++ of the callable (its frame on top):
// the `count` given arguments, checked against its argument types when
// `check` is set. A function or routine gets exactly one cell per word of
// its context: arguments beyond those given are none, every refinement is
// false and its arguments none, then its locals. A native or action short
// of arguments raises script no-arg.
void push_call_cells(const Cell* callable, const Cell* arguments, int count, const Cell* name, bool check);
// Start-up: the lexer calls transcode's trace call-backs through here.
void install_lexer_callbacks();
// Calls a callable from C++ with `count` argument cells (no refinements),
// under the name word (null: <anon>); the result is pushed. For call-backs
// of natives and handlers.
Exit call_with(const Cell* callable, const Cell* arguments, int count, const Cell* name);

// The `switch` lookup over the call's first two cells (the key, a block):
// the cells of the block that have the key's type and are equal to it, in
// steps of 1 (push) or 2. After a match: with to_block, the first block!
// after it (no block!: no match); without, the cell after it, or the match
// when it is last. No match (or a block! key) gives none. The answer is
// pushed (push) or copied into the result cell, and answered.
Cell* select_key(bool push, bool to_block);

}  // namespace zel::interpreter
