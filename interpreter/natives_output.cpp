// The output natives print and prin, the boot routine last-lf? that reads
// what the last of them did, and stats.
//
// Relies on: reduce (natives_eval.cpp), form (dispatch.h), the output hooks
// (platform.h), the memory statistics, the routine table.
#include <climits>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "interpreter/dispatch.h"
#include "interpreter/natives.h"
#include "interpreter/routine.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/series.h"
#include "series/string.h"

namespace zel::natives {

bool g_last_lf = false;
Cell g_print_buffer{TYPE_UNSET, 0, 0, 0};

namespace {

constexpr int PRINT_BUFFER_CELLS = 32;

// The print buffer's head and tail as a print found them, put back however
// it ends.
class PrintBufferScope {
public:
    PrintBufferScope() : head_(g_print_buffer.data1), tail_(series::abs_length_q(&g_print_buffer)) {
        g_print_buffer.data1 = uint32_t(tail_);
    }
    ~PrintBufferScope() {
        block::cut_at(&g_print_buffer, tail_);
        g_print_buffer.data1 = head_;
    }
    PrintBufferScope(const PrintBufferScope&) = delete;
    PrintBufferScope& operator=(const PrintBufferScope&) = delete;

private:
    uint32_t head_;
    int tail_;
};

// The text of a value, formed into a new string on the stack.
Cell* formed(Cell* value) {
    Cell* text = stack::push_new();
    string::make_at(text, 16);
    dispatch::form(value, text, INT_MAX);
    return text;
}

Exit print_value(bool newline) {
    Cell value = *arg(0);
    Cell* text;
    if (type_of(&value) == TYPE_BLOCK) {
        PrintBufferScope scope;
        if (Exit e = reduce_into(&value, &g_print_buffer)) return e;
        Cell reduced = g_print_buffer;
        text = formed(&reduced);
    } else if (type_of(&value) == TYPE_STRING) {
        text = stack::push(&value);
        series::get_length(text, false);
    } else {
        text = formed(&value);
    }
    platform::print_string(text, newline);
    g_last_lf = newline;
    stack::set_last(&unset::g_unset);
    return Exit{};
}

Exit print_(bool, const int32_t*) { return print_value(true); }
Exit prin(bool, const int32_t*) { return print_value(false); }

// GAP(base library): stats/show hands the report to the library's
// show-memory-stats in a function call frame; until it exists, not done.
[[noreturn]] void show_memory_stats(const Cell*) { fire(ERR_internal_not_done); }

// stats' refinement slots: /show, /info.
Exit stats(bool, const int32_t* r) {
    if (!has(r, 0) && !has(r, 1)) {
        memory::byte_count_at(arg(0), memory::usage_stats(nullptr, memory::USAGE_BYTES));
        return Exit{};
    }
    Cell* report = block::push_only(5);
    memory::usage_stats(report, memory::USAGE_REPORT);
    if (has(r, 0)) show_memory_stats(report);
    stack::set_last(report);
    return Exit{};
}

routine::MachineValue last_lf(const routine::MachineValue*) { return routine::MachineValue{.integer = g_last_lf}; }

}  // namespace

void register_output() {
    cell::set(&g_print_buffer, TYPE_UNSET);
    collector::add_mark_callback([] { collector::mark_value(&g_print_buffer); }, "the print buffer");
    block::make_at(&g_print_buffer, PRINT_BUFFER_CELLS);
    set(Native::print_, print_);
    set(Native::prin, prin);
    set(Native::stats, stats);
    routine::register_code("last-lf?", last_lf, routine::RESULT_LOGIC, false);
}

}  // namespace zel::natives
