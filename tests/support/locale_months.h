// The month names the text of a date! takes from system/locale/months, for
// tests that run without the boot environment: a `system` object holding a
// `locale` object with the twelve English names, as start-up makes them.
// Including it sets them up for the tests of the including file, once the
// run-time stands (runtime_env.h, included first, starts it).
#pragma once

#include "tests/support/runtime_env.h"  // first: its set-up runs before this file's

#include "foundation/collector.h"
#include "interpreter/object.h"
#include "series/block.h"
#include "tests/support/file_env.h"
#include "tests/support/text.h"
#include "tests/support/values.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::test {

// Sets the global word `system` (once per run-time; again after a restart).
inline void install_locale_months() {
    Cell system_word = word::load("system");
    if (type_of(context::get(&system_word)) == TYPE_OBJECT) return;
    static const char* const NAMES[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
    Cell months = block_of({});
    gc::root keep_months(&months);
    for (const char* name : NAMES) {
        Cell s = text(name);
        block::append_cell(&months, &s);
    }
    Cell locale, system;
    gc::root keep_locale(&locale), keep_system(&system);
    object::make_at(&locale, 4);
    Cell months_word = word::load("months"), locale_word = word::load("locale");
    context::put(object::context_of(&locale), &months_word, &months);
    object::make_at(&system, 4);
    context::put(object::context_of(&system), &locale_word, &locale);
    context::set(&system_word, &system);
}

[[maybe_unused]] static ::testing::Environment* const g_locale_months_env =
    ZEL_FILE_ENVIRONMENT(install_locale_months);

}  // namespace zel::test
