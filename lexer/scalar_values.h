// The scalar values the loaders make, one small function per type, so that
// each scalar module's constructor takes over in one place.
//
// Each fills the cell (type and payload, no flags) and answers it; the
// loader adds the new-line flag afterwards. The loader has already checked
// every range.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "scalars/text_to_number.h"

namespace zel::lexer::value {

Cell* make_char(Cell* cell, uint32_t cp);
Cell* make_pair(Cell* cell, int32_t x, int32_t y);
Cell* make_point2d(Cell* cell, float x, float y);
Cell* make_point3d(Cell* cell, float x, float y, float z);
Cell* make_tuple(Cell* cell, const uint8_t* bytes, int count);  // count 3..12
Cell* make_time(Cell* cell, double seconds);

// Dates from their fields; time of day in seconds.
struct DateFields {
    int year;
    int month;    // 1..12 (calendar form)
    int day;      // 1..31 (calendar form)
    int week;     // ISO week form: week 1..53, weekday 1..7
    int weekday;
    int yearday;  // ordinal form: 1..366
    double time_of_day;
    int zone_hours;    // both negative for a zone west of UTC
    int zone_minutes;
    bool has_time;
};
Cell* make_date(Cell* cell, const DateFields& d);
Cell* make_date_from_week(Cell* cell, const DateFields& d);
Cell* make_date_from_yearday(Cell* cell, const DateFields& d);
// 52 or 53: the ISO weeks of the year.
int iso_weeks_in(int year);

// False when the money! construction refuses the text.
bool make_money(Cell* cell, const text_to_number::MoneyText& text);

}  // namespace zel::lexer::value
