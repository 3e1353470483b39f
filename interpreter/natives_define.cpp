// The natives that define functions (func, function, does, has) and type?.
//
// Relies on: function! (spec checking, making, locals of `function`),
// blocks, the datatype registry (type names).
#include <algorithm>

#include "interpreter/function.h"
#include "interpreter/natives.h"
#include "series/block.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::natives {

namespace {

// A head past the tail stands at the tail.
void clamp_head(Cell* block) {
    int32_t total = int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
    block->data1 = uint32_t(std::clamp(int32_t(block->data1), 0, total));
}

// The function of the spec and body as they are; the result of the call.
Exit define(Cell spec, Cell body) {
    clamp_head(&spec);
    clamp_head(&body);
    uint32_t flags = function::validate_spec(&spec);
    function::push(&spec, &body, 0, 0, flags);
    stack::set_last(stack::top() - 1);
    return Exit{};
}

Exit func_(bool, const int32_t*) { return define(*arg(0), *arg(1)); }

Exit function_(bool, const int32_t*) {
    Cell spec = *arg(0), body = *arg(1);
    clamp_head(&spec);
    Cell* copy = block::clone(&spec, false, false);
    function::collect_locals(copy, &body);
    return define(*copy, body);
}

Exit does_(bool, const int32_t*) {
    Cell body = *arg(0);
    return define(*block::push_only(1), body);
}

Exit has_(bool, const int32_t*) {
    Cell vars = *arg(0), body = *arg(1);
    clamp_head(&vars);
    Cell* spec = block::clone(&vars, false, false);
    block::insert_value(spec, &words::refinement(words::Ref::local), false, true);
    return define(*spec, body);
}

Exit type_q(bool, const int32_t* r) {
    int type = type_of(arg(0));
    cell::set(arg(0), TYPE_DATATYPE, uint32_t(type));
    if (has(r, 0)) word::make_type_name_at(type, arg(0));
    return Exit{};
}

}  // namespace

void register_definition() {
    set(Native::func, func_);
    set(Native::function_, function_);
    set(Native::does, does_);
    set(Native::has, has_);
    set(Native::type_q, type_q);
}

}  // namespace zel::natives
