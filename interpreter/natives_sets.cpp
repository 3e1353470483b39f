// The set natives: unique, union, intersect, exclude and difference over
// blocks, hashes, strings, bitsets and typesets (and difference of two
// dates), and complement?. Each is a thin entry: the type rules are decided
// here, the work is the datatype's own.
//
// Relies on: the set workers of blocks, strings, bitsets and typesets, and
// the difference of two dates.
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "scalars/date.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "series/bitset.h"
#include "series/block.h"
#include "series/string.h"

namespace zel::natives {

namespace {

bool any_block_set_q(int type) { return type == TYPE_BLOCK || type == TYPE_HASH; }

// The operation codes are shared with the workers (string::SetOp).
template <int OP>
Exit set_op(bool, const int32_t* r) {
    bool case_ = has(r, 0);
    const Cell* skip = refinement_arg(r, 1);
    int type1 = type_of(arg(0));
    if (OP != string::SET_UNIQUE) {
        int type2 = type_of(arg(1));
        bool related = any_block_set_q(type1) ? any_block_set_q(type2) : type1 == type2;
        if (!related) {
            Cell expected = raise::datatype_arg(type1), got = raise::datatype_arg(type2);
            fire(ERR_script_expect_val, &expected, &got);
        }
    }
    switch (type1) {
        case TYPE_BLOCK: case TYPE_HASH: block::do_set_op(case_, skip, OP); break;
        case TYPE_STRING: string::do_set_op(case_, skip, OP); break;
        case TYPE_BITSET: bitset::do_bitwise(OP); break;
        case TYPE_TYPESET: typeset::do_bitwise(OP); break;
        case TYPE_DATE:
            if (OP != string::SET_DIFFERENCE) raise::expect_arg(arg(0), 0);
            date::difference(arg(0), arg(1));
            break;
        default: raise::expect_arg(arg(0), 0);
    }
    return Exit{};
}

Exit complement_q(bool, const int32_t*) {
    if (type_of(arg(0)) != TYPE_BITSET) raise::expect_arg(arg(0), 0);
    logic::set(arg(0), bitset::negated_q(memory::series_of(arg(0)->data2)));
    return Exit{};
}

}  // namespace

void register_sets() {
    set(Native::unique, set_op<string::SET_UNIQUE>);
    set(Native::union_, set_op<string::SET_UNION>);
    set(Native::intersect, set_op<string::SET_INTERSECT>);
    set(Native::exclude, set_op<string::SET_EXCLUDE>);
    set(Native::difference, set_op<string::SET_DIFFERENCE>);
    set(Native::complement_q, complement_q);
}

}  // namespace zel::natives
