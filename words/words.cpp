// The predefined symbols and words, made at start-up from their tables.
#include "words/words.h"

#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::words {

uint32_t g_symbols[int(Sym::count)];
Cell g_global_words[int(Sym::count)];
Cell g_words[int(Word::count)];
Cell g_refinements[int(Ref::count)];
Cell g_ooo;

namespace {

struct SymbolName {
    const char* text;
    bool global;
};

#define ZEL_SYMBOL_ROW(name, text, global) {text, global != 0},
const SymbolName g_symbol_names[] = {ZEL_PREDEFINED_SYMBOLS(ZEL_SYMBOL_ROW)};
#undef ZEL_SYMBOL_ROW

#define ZEL_TEXT_ROW(name, text) text,
const char* const g_word_names[] = {ZEL_PREDEFINED_WORDS(ZEL_TEXT_ROW)};
const char* const g_refinement_names[] = {ZEL_PREDEFINED_REFINEMENTS(ZEL_TEXT_ROW)};
#undef ZEL_TEXT_ROW

constexpr int OWNERSHIP_ACTIONS = int(ownership::LOWERCASE) + 1;
Cell g_ownership_words[OWNERSHIP_ACTIONS];

}  // namespace

void init() {
    for (int i = 0; i < int(Sym::count); i++) {
        g_symbols[i] = symbol::make(g_symbol_names[i].text);
        if (g_symbol_names[i].global) g_global_words[i] = context::add_global(g_symbols[i]);
        else cell::set(&g_global_words[i], TYPE_NONE);
    }
    for (int i = 0; i < int(Word::count); i++) g_words[i] = word::load(g_word_names[i]);
    // Every action name is one of the words above: loading finds it.
    for (int a = 0; a < OWNERSHIP_ACTIONS; a++)
        g_ownership_words[a] = word::load(ownership::action_name(ownership::Action(a)));
}

void init_refinements() {
    for (int i = 0; i < int(Ref::count); i++) g_refinements[i] = refinement::load(g_refinement_names[i]);
}

void init_ooo() { g_ooo = issue::load("ooo"); }

const Cell& ownership_word(ownership::Action action) { return g_ownership_words[int(action)]; }

uint32_t make_type_name_symbol(const char* name, int length) {
    uint32_t id = symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(name), length);
    context::find_or_add_global(id, true, true);
    return id;
}

}  // namespace zel::words
