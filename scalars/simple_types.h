// The simplest datatypes, whose values every other part produces: unset!,
// none! and logic!, with the truth tests.
//
// Truth: none! and logic! false are false, every other value is true; the
// checked tests refuse unset!.
#pragma once

#include "foundation/cell.h"

namespace zel {

namespace unset {
extern const Cell g_unset;
Cell* box();  // the result slot becomes unset!
Cell* make_in(Cell* block);
Cell* push();
void init();
}  // namespace unset

namespace none {
extern const Cell g_none;
Cell* box();
Cell* make_in(Cell* block);
Cell* push();
void init();
}  // namespace none

namespace logic {
extern const Cell g_true;
extern const Cell g_false;
inline bool get(const Cell* c) { return c->data1 != 0; }
inline void set(Cell* c, bool flag) { cell::set(c, TYPE_LOGIC, flag ? 1 : 0); }
inline bool is_false(const Cell* c) {
    int t = type_of(c);
    return t == TYPE_NONE || (t == TYPE_LOGIC && c->data1 == 0);
}
Cell* box(bool flag);
Cell* make_in(Cell* block, bool flag);
Cell* push(bool flag);

// Tests on the result slot and the stack top.
bool false_q();         // no unset! check
bool true_checked();    // unset! raises script no-return
bool top_true();
bool top_false();
// A value's truth; with unset_check an unset! raises script no-value naming `word`.
bool truth(const Cell* value, bool unset_check, const Cell* word);
void init();
}  // namespace logic

}  // namespace zel
