// The type predicates: one routine per datatype or typeset word.
#include "boot/predicates.h"

#include <utility>

#include "interpreter/routine.h"
#include "scalars/typeset.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::boot::predicates {

namespace {

using routine::MachineValue;

template <int TYPE>
MachineValue is_type(const MachineValue* a) {
    return MachineValue{.integer = type_of(a[0].cell) == TYPE};
}

struct TypePredicate {
    const char* key;
    routine::Code code;
};

#define ZEL_PREDICATE(word, type) {word, is_type<type>}
constexpr TypePredicate TYPE_PREDICATES[] = {
    ZEL_PREDICATE("bitset?", TYPE_BITSET),       ZEL_PREDICATE("binary?", TYPE_BINARY),
    ZEL_PREDICATE("block?", TYPE_BLOCK),         ZEL_PREDICATE("char?", TYPE_CHAR),
    ZEL_PREDICATE("email?", TYPE_EMAIL),         ZEL_PREDICATE("file?", TYPE_FILE),
    ZEL_PREDICATE("float?", TYPE_FLOAT),         ZEL_PREDICATE("get-path?", TYPE_GET_PATH),
    ZEL_PREDICATE("get-word?", TYPE_GET_WORD),   ZEL_PREDICATE("hash?", TYPE_HASH),
    ZEL_PREDICATE("integer?", TYPE_INTEGER),     ZEL_PREDICATE("issue?", TYPE_ISSUE),
    ZEL_PREDICATE("lit-path?", TYPE_LIT_PATH),   ZEL_PREDICATE("lit-word?", TYPE_LIT_WORD),
    ZEL_PREDICATE("logic?", TYPE_LOGIC),         ZEL_PREDICATE("map?", TYPE_MAP),
    ZEL_PREDICATE("none?", TYPE_NONE),           ZEL_PREDICATE("pair?", TYPE_PAIR),
    ZEL_PREDICATE("paren?", TYPE_PAREN),         ZEL_PREDICATE("path?", TYPE_PATH),
    ZEL_PREDICATE("percent?", TYPE_PERCENT),     ZEL_PREDICATE("refinement?", TYPE_REFINEMENT),
    ZEL_PREDICATE("set-path?", TYPE_SET_PATH),   ZEL_PREDICATE("set-word?", TYPE_SET_WORD),
    ZEL_PREDICATE("string?", TYPE_STRING),       ZEL_PREDICATE("tag?", TYPE_TAG),
    ZEL_PREDICATE("time?", TYPE_TIME),           ZEL_PREDICATE("typeset?", TYPE_TYPESET),
    ZEL_PREDICATE("tuple?", TYPE_TUPLE),         ZEL_PREDICATE("unset?", TYPE_UNSET),
    ZEL_PREDICATE("url?", TYPE_URL),             ZEL_PREDICATE("word?", TYPE_WORD),
    ZEL_PREDICATE("image?", TYPE_IMAGE),         ZEL_PREDICATE("date?", TYPE_DATE),
    ZEL_PREDICATE("money?", TYPE_MONEY),         ZEL_PREDICATE("ref?", TYPE_REF),
    ZEL_PREDICATE("point2D?", TYPE_POINT2D),     ZEL_PREDICATE("point3D?", TYPE_POINT3D),
    ZEL_PREDICATE("handle?", TYPE_HANDLE),       ZEL_PREDICATE("error?", TYPE_ERROR),
    ZEL_PREDICATE("action?", TYPE_ACTION),       ZEL_PREDICATE("native?", TYPE_NATIVE),
    ZEL_PREDICATE("datatype?", TYPE_DATATYPE),   ZEL_PREDICATE("function?", TYPE_FUNCTION),
    ZEL_PREDICATE("object?", TYPE_OBJECT),       ZEL_PREDICATE("op?", TYPE_OP),
    ZEL_PREDICATE("routine?", TYPE_ROUTINE),     ZEL_PREDICATE("vector?", TYPE_VECTOR),
};
#undef ZEL_PREDICATE

// Typeset predicates: the predicate's word and the typeset word it reads.
constexpr const char* TYPESET_PREDICATES[][2] = {
    {"any-list?", "any-list!"},   {"any-block?", "any-block!"},   {"any-function?", "any-function!"},
    {"any-object?", "any-object!"}, {"any-path?", "any-path!"},   {"any-string?", "any-string!"},
    {"any-word?", "any-word!"},   {"series?", "series!"},         {"number?", "number!"},
    {"immediate?", "immediate!"}, {"scalar?", "scalar!"},         {"all-word?", "all-word!"},
    {"any-point?", "any-point!"}, {"planar?", "planar!"},
};
constexpr int TYPESET_COUNT = int(sizeof TYPESET_PREDICATES / sizeof TYPESET_PREDICATES[0]);

// The global words of the typesets, bound once at registration.
Cell g_typeset_words[TYPESET_COUNT];

template <int N>
MachineValue in_typeset(const MachineValue* a) {
    const Cell* set = context::get(&g_typeset_words[N]);
    return MachineValue{.integer = type_of(set) == TYPE_TYPESET && typeset::has(set, type_of(a[0].cell))};
}

template <int... N>
void register_typeset_predicates(std::integer_sequence<int, N...>) {
    ((g_typeset_words[N] = word::load(TYPESET_PREDICATES[N][1]),
      routine::register_code(TYPESET_PREDICATES[N][0], in_typeset<N>, routine::RESULT_LOGIC, true)),
     ...);
}

}  // namespace

void register_all() {
    for (const TypePredicate& p : TYPE_PREDICATES) routine::register_code(p.key, p.code, routine::RESULT_LOGIC, true);
    register_typeset_predicates(std::make_integer_sequence<int, TYPESET_COUNT>());
}

}  // namespace zel::boot::predicates
