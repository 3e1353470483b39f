// The `system` object as the run-time reads it: by the positions of its
// fields, after checking that the word `system` still holds the object
// start-up made (class 174). The object itself is made by start-up from its
// Zel source (boot/base/system.zel); until then, or once a script has put
// something else in `system`, there is nothing to read.
//
// Relies on: contexts and words, objects.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "foundation/cell.h"

namespace zel::system_object {

constexpr int32_t CLASS = 174;

// Fields of `system`, and of the objects inside it that the run-time reads.
enum Field : int {
    VERSION, BUILD, WORDS, PLATFORM, CATALOG, STATE, MODULES, CODECS, SCHEMES, PORTS,
    LOCALE, OPTIONS, SCRIPT, STANDARD, LEXER, CONSOLE, VIEW, REACTIVITY, TOOLS, FIELD_COUNT
};
enum BuildField : int { BUILD_DATE, BUILD_GIT, BUILD_CONFIG };
constexpr int BUILD_CONFIG_BASENAME = 8;  // build-basename in system/build/config
enum GitField : int { GIT_BRANCH, GIT_TAG, GIT_AHEAD, GIT_DATE, GIT_COMMIT, GIT_MESSAGE };
enum CatalogField : int { CATALOG_DATATYPES, CATALOG_ACTIONS, CATALOG_NATIVES, CATALOG_ACCESSORS, CATALOG_ERRORS };
enum StateField : int {
    STATE_INTERPRETED, STATE_LAST_ERROR, STATE_STACK_TRACE, STATE_SOURCE_FILES, STATE_CALLBACKS, STATE_GC
};
enum LocaleField : int {
    LOCALE_LANGUAGE, LOCALE_LANGUAGE_STAR, LOCALE_LOCALE, LOCALE_LOCALE_STAR, LOCALE_MONTHS, LOCALE_DAYS,
    LOCALE_CURRENCIES
};
enum CurrenciesField : int { CURRENCIES_LIST };
enum OptionsField : int {
    OPTIONS_BOOT, OPTIONS_HOME, OPTIONS_PATH, OPTIONS_SCRIPT, OPTIONS_CACHE, OPTIONS_THRU_CACHE, OPTIONS_ARGS,
    OPTIONS_DO_ARG, OPTIONS_DEBUG, OPTIONS_SECURE, OPTIONS_QUIET, OPTIONS_BINARY_BASE, OPTIONS_DECIMAL_DIGITS,
    OPTIONS_MONEY_DIGITS, OPTIONS_MODULE_PATHS, OPTIONS_FILE_TYPES, OPTIONS_FLOAT
};
enum ScriptField : int { SCRIPT_TITLE, SCRIPT_HEADER, SCRIPT_PARENT, SCRIPT_PATH, SCRIPT_ARGS };
enum LexerField : int { LEXER_PRE_LOAD, LEXER_ERR_POS, LEXER_EXIT_STATES, LEXER_TRAPPER, LEXER_TRACER };

// Start-up, once the word `system` holds the object.
void install();
// Forgets it (the run-time's release).
void reset();

// The system object, or null.
const Cell* get();
// The value cell reached from `system` through the fields at these
// positions, each step but the last an object; null when `system` is not
// the start-up object, a step is not an object or a position is past its
// fields. Valid until the next allocation.
Cell* field(std::initializer_list<int> positions);

}  // namespace zel::system_object
