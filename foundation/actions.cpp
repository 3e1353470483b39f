// Action names in id order.
#include "foundation/actions.h"

namespace zel {

const char* const ACTION_NAMES[ACTION_COUNT + 1] = {
    nullptr,   "make",   "random", "reflect",   "to",     "form",    "mold",    "eval-path",
    "set-path", "compare", "absolute", "add",    "divide", "multiply", "negate", "power",
    "remainder", "round", "subtract", "even?",   "odd?",   "and~",    "complement", "or~",
    "xor~",    "append", "at",     "back",      "change", "clear",   "copy",    "find",
    "head",    "head?",  "index?", "insert",    "length?", "move",   "next",    "pick",
    "poke",    "put",    "remove", "reverse",   "select", "sort",    "skip",    "swap",
    "tail",    "tail?",  "take",   "trim",      "create", "close",   "delete",  "modify",
    "open",    "open?",  "query",  "read",      "rename", "update",  "write",
};

}  // namespace zel
