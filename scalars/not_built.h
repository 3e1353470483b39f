// Entry points of modules that are not built yet, which the number types
// already hand work over to. Each raises internal not-done until its module
// exists; that module then replaces the calls to its stand-in here with its
// own entry point and deletes the stand-in.
#pragma once

#include <cstdint>

#include "core/cell.h"

namespace zel::lexer {
struct MoneyText;
}

namespace zel::not_built {

// ---- Math cores of other scalar types, on the first two argument cells ----------------
// Each leaves its result in the first cell.

Cell* pair_do_math(int op);   // pair/do-math, the pair on the left
Cell* point_do_math(int op);  // the point2D!/point3D! core, the point on the left
Cell* tuple_do_math(int op);  // tuple/do-math: exchanges a number left operand itself
Cell* money_do_math(int op);  // money/do-math, either side money!
Cell* date_add();             // date! + integer!, the date moved into the first cell
// date! from an ISO week and weekday, or from a day of the year, with a
// time of day in seconds and a zone (the lexer's week and ordinal forms).
Cell* date_from_week(Cell* cell, int year, int week, int weekday, double time_of_day,
                     int zone_hours, int zone_minutes, bool has_time);
Cell* date_from_yearday(Cell* cell, int year, int yearday, double time_of_day, int zone_hours,
                        int zone_minutes, bool has_time);
// vector/do-math-scalar: every element of the vector with the scalar, in
// place; the vector replaces the first argument cell.
Cell* vector_do_math_scalar(int op, Cell* vector, Cell* scalar);

// ---- Conversions and comparisons of other types ----------------------------------------

// The money! compare of an integer! or float! made money, against a money!.
int money_compare(const Cell* number, const Cell* money, int op);
int32_t money_to_integer(const Cell* money);
double money_to_float(const Cell* money);
int32_t date_to_integer(const Cell* date);

// The money! built from scanned text (text_to_number.h); false when the
// construction refuses the digits.
bool money_from_text(const lexer::MoneyText& text, Cell* result);

// ---- Symbols ------------------------------------------------------------------------------

// The UTF-8 spelling of an issue!'s name, `length` bytes.
const uint8_t* issue_name(const Cell* issue, int& length);

}  // namespace zel::not_built
