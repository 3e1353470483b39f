// Datatype registry and the constructors of datatype! values (their
// handlers and registration: scalars/datatype_value.cpp).
#include "foundation/datatype.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/stack.h"

namespace zel::datatype {

AnyHandler g_action_table[TYPE_ROWS * 256];
TypeName g_type_names[TYPE_ROWS];

const char* const ALL_TYPE_NAMES[TYPE_LAST + 1] = {
    nullptr,     "datatype!", "unset!",    "none!",     "logic!",    "block!",    "paren!",    "string!",
    "file!",     "url!",      "char!",     "integer!",  "float!",    "symbol!",   "context!",  "word!",
    "set-word!", "lit-word!", "get-word!", "refinement!", "issue!",  "native!",   "action!",   "op!",
    "function!", "path!",     "lit-path!", "set-path!", "get-path!", "routine!",  "bitset!",   "triple!",
    "object!",   "typeset!",  "error!",    "vector!",   "hash!",     "pair!",     "percent!",  "tuple!",
    "map!",      "binary!",   "series!",   "time!",     "tag!",      "email!",    "handle!",   "date!",
    "port!",     "money!",    "ref!",      "point2D!",  "point3D!",  "image!",    "event!",
};
int g_parents[TYPE_ROWS];
int g_highest_type = 0;

TypeRecord::TypeRecord(int id, int parent, const char* name, bool inherit_rest)
    : id_(id), parent_(parent), name_(name) {
    handlers_.fill(nullptr);
    kinds_.fill(inherit_rest ? Slot::inherit : Slot::unsupported);
}

TypeRecord& TypeRecord::inherit(int action) {
    handlers_[action - 1] = nullptr;
    kinds_[action - 1] = Slot::inherit;
    return *this;
}

TypeRecord& TypeRecord::unsupported(int action) {
    handlers_[action - 1] = nullptr;
    kinds_[action - 1] = Slot::unsupported;
    return *this;
}

// A registration that cannot be right is a fault of the build, reported on
// standard error before anything runs.
[[noreturn]] static void build_fault(const char* what, int type) {
    std::string text = std::string("*** Datatype Error: ") + what + std::to_string(type) + "\n";
    platform::write_stderr(text.data(), text.size());
    std::exit(98);
}

void register_type(const TypeRecord& r) {
    int t = r.id();
    if (t < 1 || t >= TYPE_ROWS) build_fault("invalid type id: ", t);
    if (r.parent() != 0 && !registered(r.parent()))
        build_fault("parent registered after its child, for type: ", t);
    if (t > g_highest_type) g_highest_type = t;
    g_type_names[t].name = r.name();
    g_type_names[t].length = int(std::strlen(r.name())) - 1;
    g_type_names[t].symbol = 0;
    g_parents[t] = r.parent();
    for (int k = 1; k <= ACTION_COUNT; k++) {
        AnyHandler h = nullptr;
        switch (r.kind(k)) {
            case TypeRecord::Slot::handler: h = r.handler(k); break;
            case TypeRecord::Slot::unsupported: h = nullptr; break;
            case TypeRecord::Slot::inherit:
                if (r.parent() == 0) build_fault("inherited action without a parent, for type: ", t);
                h = raw_handler(r.parent(), k);
                break;
        }
        g_action_table[(t << 8) + k - 1] = h;
    }
}

void reset() {
    // Rows above the highest type ever registered were never written: the
    // table starts zeroed, and clearing it whole would touch every page of
    // it at each start.
    std::memset(g_action_table, 0, size_t(g_highest_type + 1) * 256 * sizeof(AnyHandler));
    std::memset(g_type_names, 0, sizeof g_type_names);
    std::memset(g_parents, 0, sizeof g_parents);
    g_highest_type = 0;
}

void init_name_symbols(uint32_t (*make_symbol)(const char* name, int length)) {
    for (int t = 1; t <= g_highest_type; t++)
        if (g_type_names[t].name)
            g_type_names[t].symbol = make_symbol(g_type_names[t].name, g_type_names[t].length + 1);
}

// ---- datatype! ------------------------------------------------------------------------

Cell* make_in(Cell* block, int type) {
    Cell* c = cell::alloc_tail(block);
    cell::set(c, TYPE_DATATYPE, uint32_t(type));
    return c;
}

Cell* push(int type) {
    Cell* c = stack::push_new();
    cell::set(c, TYPE_DATATYPE, uint32_t(type));
    return c;
}

}  // namespace zel::datatype
