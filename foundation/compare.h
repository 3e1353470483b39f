// The comparison service: every search, sort, hash key and comparison native
// compares two values here, by the compare handler of the first value's type.
//
// Comparison codes: 0 equal, 1 not-equal, 2 strict-equal, 3 lesser,
// 4 lesser-or-equal, 5 greater, 6 greater-or-equal, 7 sort, 8 case-sensitive
// sort, 9 same, 10 and 11 equality variants, 12 find equality. A handler
// answers -1, 0 or 1, or -2 when the two values cannot be compared.
#pragma once

#include "foundation/cell.h"

namespace zel::compare {

enum CompareOp : int {
    COMP_EQUAL = 0,
    COMP_NOT_EQUAL = 1,
    COMP_STRICT_EQUAL = 2,
    COMP_LESSER = 3,
    COMP_LESSER_EQUAL = 4,
    COMP_GREATER = 5,
    COMP_GREATER_EQUAL = 6,
    COMP_SORT = 7,
    COMP_CASE_SORT = 8,
    COMP_SAME = 9,
    COMP_EQUAL_WORD = 10,
    COMP_EQUAL_WORD_CI = 11,
    COMP_FIND = 12,
};

// An ordering integer for sorts and maps: logic! by the flags' difference,
// every other type through its compare handler (-2 when it has none).
int compare_value(Cell* value1, Cell* value2, int op);

// The comparison as a truth: -2 under an ordering op raises script
// invalid-compare naming both values; under an equality op it is false.
bool compare(Cell* value1, Cell* value2, int op);

}  // namespace zel::compare
