// Scalar values for the loaders, through the constructors of their types.
#include "lexer/scalar_values.h"

#include "scalars/char.h"
#include "scalars/date.h"
#include "scalars/money.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/time.h"
#include "scalars/tuple.h"

namespace zel::lexer::value {

Cell* make_char(Cell* cell, uint32_t cp) { return char_::make_at(cell, cp); }

Cell* make_pair(Cell* cell, int32_t x, int32_t y) { return pair::make_at(cell, x, y); }

Cell* make_point2d(Cell* cell, float x, float y) { return point2d::make_at(cell, x, y); }

Cell* make_point3d(Cell* cell, float x, float y, float z) { return point3d::make_at(cell, x, y, z); }

Cell* make_tuple(Cell* cell, const uint8_t* bytes, int count) { return tuple::make_at(cell, bytes, count); }

Cell* make_time(Cell* cell, double seconds) { return time::make_at(cell, seconds); }

Cell* make_date(Cell* cell, const DateFields& d) {
    return date::make_at(cell, d.year, d.month, d.day, d.time_of_day, d.zone_hours, d.zone_minutes,
                         d.has_time);
}

Cell* make_date_from_week(Cell* cell, const DateFields& d) {
    return date::make_from_week(cell, d.year, d.week, d.weekday, d.time_of_day, d.zone_hours,
                                d.zone_minutes, d.has_time);
}

Cell* make_date_from_yearday(Cell* cell, const DateFields& d) {
    return date::make_from_yearday(cell, d.year, d.yearday, d.time_of_day, d.zone_hours,
                                   d.zone_minutes, d.has_time);
}

int iso_weeks_in(int year) {
    int jan1_weekday;
    int32_t first = date::first_isoweek(date::pack(year, 1, 1, 0, false), jan1_weekday);
    int32_t next = date::first_isoweek(date::pack(year + 1, 1, 1, 0, false), jan1_weekday);
    return int((next - first) / 7);
}

bool make_money(Cell* cell, const text_to_number::MoneyText& text) { return money::from_text(text, cell); }

}  // namespace zel::lexer::value
