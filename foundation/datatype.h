// Datatype registry: each type id has an optional parent and a row of 62
// action handlers. Registration fills the row, resolving inherited slots
// from the parent (registered first), and names the type.
//
// Dispatch is one load: g_action_table[(type << 8) + action - 1].
#pragma once

#include <array>

#include "foundation/actions.h"
#include "foundation/cell.h"

namespace zel::datatype {

using AnyHandler = void (*)();

// What a datatype's init hands to the registry. Each slot is a handler, 0
// (not supported) or inherit (the parent's handler). The record always has
// exactly one slot per action, so a wrong handler count cannot be built.
class TypeRecord {
public:
    enum class Slot : uint8_t { unsupported, inherit, handler };

    // Every slot starts unsupported, or inherited when `inherit_rest` is set
    // (only meaningful for a type with a parent).
    TypeRecord(int id, int parent, const char* name, bool inherit_rest = false);

    template <int A>
    TypeRecord& set(action::HandlerOf<A> fn) {
        handlers_[A - 1] = reinterpret_cast<AnyHandler>(fn);
        kinds_[A - 1] = fn ? Slot::handler : Slot::unsupported;
        return *this;
    }
    TypeRecord& inherit(int action);
    TypeRecord& unsupported(int action);

    int id() const { return id_; }
    int parent() const { return parent_; }
    const char* name() const { return name_; }
    Slot kind(int action) const { return kinds_[action - 1]; }
    AnyHandler handler(int action) const { return handlers_[action - 1]; }

private:
    int id_;
    int parent_;
    const char* name_;
    std::array<AnyHandler, ACTION_COUNT> handlers_;
    std::array<Slot, ACTION_COUNT> kinds_;
};

// Registers a type. A child before its parent, or an inherited slot on a type
// without a parent, is a build fault: reported, and the process exits non-zero.
void register_type(const TypeRecord& record);

struct TypeName {
    const char* name;  // with its "!"
    int length;        // without the "!"
    uint32_t symbol;   // the word made from the name; 0 until symbols exist
};

extern AnyHandler g_action_table[TYPE_ROWS * 256];
extern TypeName g_type_names[TYPE_ROWS];
extern int g_parents[TYPE_ROWS];
extern int g_highest_type;

inline AnyHandler raw_handler(int type, int action) { return g_action_table[(type << 8) + action - 1]; }

template <int A>
inline action::HandlerOf<A> handler(int type) {
    return reinterpret_cast<action::HandlerOf<A>>(raw_handler(type, A));
}

// The name of every datatype id, 1 to TYPE_LAST, registered or not yet:
// the words start-up defines.
extern const char* const ALL_TYPE_NAMES[TYPE_LAST + 1];

inline bool registered(int type) { return type > 0 && type < TYPE_ROWS && g_type_names[type].name; }
// A type not registered yet (its handlers are still to come) keeps its name:
// values of it can exist (the lexer makes some), and errors about them name them.
inline const char* type_name(int type) {
    if (registered(type)) return g_type_names[type].name;
    return type > 0 && type <= TYPE_LAST ? ALL_TYPE_NAMES[type] : "?";
}
inline int parent_of(int type) { return g_parents[type]; }

// Empties the tables (the run-time init, and tests that register their own types).
void reset();
// Names each registered type with its word, once symbols exist.
void init_name_symbols(uint32_t (*make_symbol)(const char* name, int length));

// datatype! values: {header 1, payload 1 = the type id}. Their handlers and
// registration: scalars/datatype_value.h.
Cell* make_in(Cell* block, int type);
Cell* push(int type);

}  // namespace zel::datatype
