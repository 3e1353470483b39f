// The `system` object read by position.
#include "interpreter/system_object.h"

#include "interpreter/object.h"
#include "scalars/money.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::system_object {

namespace {
// The global word `system`, bound, once start-up has made the object.
Cell g_word = {TYPE_NONE, 0, 0, 0};
}  // namespace

namespace {
// What money! reads of the object, at each use.
const Cell* currency_list() { return field({LOCALE, LOCALE_CURRENCIES, CURRENCIES_LIST}); }
const Cell* money_digits() { return field({OPTIONS, OPTIONS_MONEY_DIGITS}); }
}  // namespace

void install() {
    g_word = word::load("system");
    money::g_system = {currency_list, money_digits};
}

void reset() { g_word = Cell{TYPE_NONE, 0, 0, 0}; }

const Cell* get() {
    if (type_of(&g_word) != TYPE_WORD) return nullptr;
    const Cell* value = context::get(&g_word);
    return type_of(value) == TYPE_OBJECT && int32_t(value->data2) == CLASS ? value : nullptr;
}

Cell* field(std::initializer_list<int> positions) {
    const Cell* at = get();
    if (!at) return nullptr;
    Cell* value = nullptr;
    for (int position : positions) {
        if (value) {
            if (type_of(value) != TYPE_OBJECT) return nullptr;
            at = value;
        }
        if (position < 0 || position >= object::count_words(at)) return nullptr;
        value = object::get_values(at) + position;
    }
    return value;
}

}  // namespace zel::system_object
