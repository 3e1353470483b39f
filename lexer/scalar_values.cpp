// Scalar values for the loaders. Until the scalar datatypes exist, the
// cells are laid out here as those types define them; dates of the week and
// ordinal forms and money need the date! and money! modules.
#include "lexer/scalar_values.h"

#include <cstring>

#include "scalars/not_built.h"

namespace zel::lexer::value {

Cell* make_char(Cell* cell, uint32_t cp) {
    cell::set(cell, TYPE_CHAR, 0, cp);
    return cell;
}

Cell* make_pair(Cell* cell, int32_t x, int32_t y) {
    cell::set(cell, TYPE_PAIR, 0, uint32_t(x), uint32_t(y));
    return cell;
}

Cell* make_point2d(Cell* cell, float x, float y) {
    cell::set(cell, TYPE_POINT2D);
    std::memcpy(&cell->data1, &x, 4);
    std::memcpy(&cell->data2, &y, 4);
    return cell;
}

Cell* make_point3d(Cell* cell, float x, float y, float z) {
    make_point2d(cell, x, y);
    cell::set_type(cell, TYPE_POINT3D);
    std::memcpy(&cell->data3, &z, 4);
    return cell;
}

Cell* make_tuple(Cell* cell, const uint8_t* bytes, int count) {
    cell::set(cell, TYPE_TUPLE);
    cell->header |= uint32_t(count) << 19;
    std::memcpy(&cell->data1, bytes, size_t(count));
    return cell;
}

Cell* make_time(Cell* cell, double seconds) {
    cell::set(cell, TYPE_TIME);
    cell::put_float(cell, seconds);
    return cell;
}

// The packed date word: year in bits 17-31, time flag bit 16, month 12-15,
// day 7-11, zone 0-6 (bit 6 negative, hours in 2-5, quarter hours in 0-1).
Cell* make_date(Cell* cell, const DateFields& d) {
    uint32_t zone = 0;
    if (d.has_time) {
        int minutes = d.zone_hours * 60 + d.zone_minutes;  // both carry the zone's sign
        int quarters = (minutes < 0 ? -minutes : minutes) / 15;
        zone = uint32_t(quarters & 0x3F) | (minutes < 0 ? 0x40u : 0u);
    }
    uint32_t packed = (uint32_t(d.year) << 17) | (d.has_time ? 1u << 16 : 0u) |
                      uint32_t(d.month) << 12 | uint32_t(d.day) << 7 | zone;
    cell::set(cell, TYPE_DATE, packed);
    cell::put_float(cell, d.has_time ? d.time_of_day : 0.0);
    return cell;
}

Cell* make_date_from_week(Cell* cell, const DateFields& d) {
    return not_built::date_from_week(cell, d.year, d.week, d.weekday, d.time_of_day, d.zone_hours,
                                     d.zone_minutes, d.has_time);
}

Cell* make_date_from_yearday(Cell* cell, const DateFields& d) {
    return not_built::date_from_yearday(cell, d.year, d.yearday, d.time_of_day, d.zone_hours,
                                        d.zone_minutes, d.has_time);
}

bool make_money(Cell* cell, const MoneyText& text) { return not_built::money_from_text(text, cell); }

}  // namespace zel::lexer::value
