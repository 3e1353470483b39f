// The predefined symbols and words the run-time uses itself: dialect
// keywords, field names, event names, the action words of change
// notifications, the call names of frames and the error categories. They are
// made once at start-up, right after the symbol table, the global context and
// the datatype name symbols.
//
// Three lists, each a table of names:
//  - symbols (Sym): interned only; a few of them are also added to the global
//    context by exact spelling, and their word cells kept (global_word);
//  - words (Word): bound in the global context (word::load);
//  - refinements (Ref): unbound (context 0, index -1).
// And one issue, #ooo.
//
// Relies on: symbols, contexts, words.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "series/ownership.h"

namespace zel::words {

// name in C++, its text, 1 when also added to the global context.
#define ZEL_PREDEFINED_SYMBOLS(X)                                                                  \
    X(spec, "spec", 0) X(body, "body", 0) X(words, "words", 0) X(class_, "class", 0)                \
    X(logic_type, "logic!", 0) X(integer_type, "integer!", 0) X(char_type, "char!", 0)              \
    X(float_type, "float!", 0) X(percent_type, "percent!", 0) X(any_type, "any-type!", 0)           \
    X(exit, "exit", 0) X(return_, "return", 0) X(windows, "Windows", 1) X(syllable, "Syllable", 1)  \
    X(macos, "macOS", 1) X(linux_, "Linux", 1) X(netbsd, "NetBSD", 1) X(repeat, "repeat", 0)        \
    X(foreach, "foreach", 0) X(map_each, "map-each", 0) X(remove_each, "remove-each", 0)            \
    X(any, "any", 1) X(break_, "break", 0) X(copy, "copy", 1) X(end, "end", 1) X(fail, "fail", 0)   \
    X(into, "into", 1) X(opt, "opt", 1) X(not_, "not", 1) X(quote, "quote", 1) X(case_, "case", 1)  \
    X(reject, "reject", 0) X(set, "set", 1) X(skip, "skip", 0) X(some, "some", 1)                   \
    X(thru, "thru", 1) X(to, "to", 1) X(none, "none", 0) X(bar, "|", 1) X(minus, "-", 0)            \
    X(if_, "if", 1) X(remove, "remove", 1) X(while_, "while", 1) X(insert, "insert", 1)             \
    X(only, "only", 0) X(collect, "collect", 1) X(keep, "keep", 1) X(pick, "pick", 0)               \
    X(ahead, "ahead", 1) X(after, "after", 0) X(x, "x", 0) X(y, "y", 0) X(z, "z", 0)                \
    X(self, "self", 0) X(values, "values", 0) X(owner, "owner", 0) X(owned, "owned", 0)             \
    X(events_q, "events?", 0) X(true_, "true", 0) X(false_, "false", 0) X(yes, "yes", 0)            \
    X(no, "no", 0) X(on, "on", 0) X(off, "off", 0) X(type, "type", 0) X(face, "face", 0)            \
    X(window, "window", 0) X(offset, "offset", 0) X(key, "key", 0) X(flag, "flag", 0)               \
    X(code, "code", 0) X(picked, "picked", 0) X(flags, "flags", 0) X(away_q, "away?", 0)            \
    X(ctrl_q, "ctrl?", 0) X(shift_q, "shift?", 0) X(down_q, "down?", 0)                             \
    X(mid_down_q, "mid-down?", 0) X(alt_down_q, "alt-down?", 0) X(aux_down_q, "aux-down?", 0)       \
    X(orientation, "orientation", 0) X(get, "get", 0) X(put, "put", 0) X(post, "post", 0)           \
    X(head, "head", 0) X(size, "size", 0) X(rgb, "rgb", 0) X(alpha, "alpha", 0)                     \
    X(argb, "argb", 0) X(date, "date", 0) X(year, "year", 0) X(month, "month", 0) X(day, "day", 0)  \
    X(zone, "zone", 0) X(isoweek, "isoweek", 0) X(week, "week", 0) X(weekday, "weekday", 0)         \
    X(yearday, "yearday", 0) X(julian, "julian", 0) X(time, "time", 0) X(hour, "hour", 0)           \
    X(minute, "minute", 0) X(second, "second", 0) X(timezone, "timezone", 0)                        \
    X(amount, "amount", 0) X(user, "user", 0) X(host, "host", 0) X(system, "system", 0)             \
    X(system_global, "system-global", 0) X(stack, "stack", 0) X(trace, "trace", 0)                  \
    X(no_trace, "no-trace", 0)

// name in C++, its text.
#define ZEL_PREDEFINED_WORDS(X)                                                                    \
    X(at, "at") X(back, "back") X(find, "find") X(head, "head") X(head_q, "head?")                  \
    X(index_q, "index?") X(length_q, "length?") X(next, "next") X(pick, "pick") X(skip, "skip")     \
    X(select, "select") X(tail, "tail") X(tail_q, "tail?") X(change, "change")                      \
    X(changed, "changed") X(clear, "clear") X(cleared, "cleared") X(set_path, "set-path")           \
    X(append, "append") X(appended, "appended") X(move, "move") X(moved, "moved")                   \
    X(poke, "poke") X(poked, "poked") X(put, "put") X(put_ed, "put-ed") X(removed, "removed")       \
    X(random, "random") X(randomized, "randomized") X(reverse, "reverse")                           \
    X(reversed, "reversed") X(sort, "sort") X(sorted, "sorted") X(swap, "swap")                     \
    X(swaped, "swaped") X(take, "take") X(taken, "taken") X(trim, "trim")                           \
    X(trimmed, "trimmed") X(inserted, "inserted") X(uppercase, "uppercase")                         \
    X(lowercase, "lowercase") X(checksum, "checksum") X(push, "push") X(pop, "pop")                 \
    X(fetch, "fetch") X(match, "match") X(iterate, "iterate") X(paren, "paren")                     \
    X(anon, "<anon>") X(body, "<body>") X(not_found, "<not-found>") X(add, "add")                   \
    X(subtract, "subtract") X(divide, "divide") X(on_parse_event, "on-parse-event")                 \
    X(on_change_star, "on-change*") X(on_deep_change_star, "on-deep-change*") X(type, "type")       \
    X(id, "id") X(try_, "try") X(catch_, "catch") X(name, "name") X(multiply, "multiply")           \
    X(browse, "browse") X(open, "open") X(create, "create") X(close, "close")                       \
    X(delete_, "delete") X(modify, "modify") X(query, "query") X(read, "read")                      \
    X(rename, "rename") X(update, "update") X(write, "write") X(prescan, "prescan")                 \
    X(scan, "scan") X(load, "load") X(error, "error") X(comment, "comment") X(init, "init")         \
    X(exec, "exec") X(call, "call") X(return_, "return") X(enter, "enter") X(exit, "exit")          \
    X(prolog, "prolog") X(epilog, "epilog") X(throw_, "throw") X(expr, "expr")                      \
    X(interp_callback, "<interp-callback>") X(lexer_callback, "<lexer-callback>")                   \
    X(parse_callback, "<parse-callback>") X(compare_callback, "<compare-callback>")                 \
    X(category_throw, "throw") X(note, "note") X(syntax, "syntax") X(script, "script")              \
    X(math, "math") X(access, "access") X(user, "user") X(internal, "internal")                     \
    X(invalid_error, "invalid-error") X(local, "local") X(applied, "<applied>")

#define ZEL_PREDEFINED_REFINEMENTS(X) \
    X(local, "local") X(extern_, "extern") X(compare, "compare") X(part, "part") X(skip, "skip") X(with, "with")

#define ZEL_ENUM_NAME(name, ...) name,
enum class Sym : int { ZEL_PREDEFINED_SYMBOLS(ZEL_ENUM_NAME) count };
enum class Word : int { ZEL_PREDEFINED_WORDS(ZEL_ENUM_NAME) count };
enum class Ref : int { ZEL_PREDEFINED_REFINEMENTS(ZEL_ENUM_NAME) count };
#undef ZEL_ENUM_NAME

extern uint32_t g_symbols[int(Sym::count)];
extern Cell g_global_words[int(Sym::count)];  // set for the symbols added to the global context
extern Cell g_words[int(Word::count)];
extern Cell g_refinements[int(Ref::count)];
extern Cell g_ooo;

inline uint32_t symbol(Sym s) { return g_symbols[int(s)]; }
inline const Cell& global_word(Sym s) { return g_global_words[int(s)]; }
inline const Cell& word(Word w) { return g_words[int(w)]; }
inline uint32_t symbol(Word w) { return g_words[int(w)].data2; }
inline const Cell& refinement(Ref r) { return g_refinements[int(r)]; }
inline const Cell& ooo() { return g_ooo; }

// The word a change notification passes for the action.
const Cell& ownership_word(ownership::Action action);

// Start-up, in this order, after datatype::init_name_symbols.
void init();
void init_refinements();
void init_ooo();

// The symbol of a datatype's name, the type's word added to the global
// context; given to datatype::init_name_symbols.
uint32_t make_type_name_symbol(const char* name, int length);

}  // namespace zel::words
