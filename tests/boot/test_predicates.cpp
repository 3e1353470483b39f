// The type predicates: single types by exact type id, typesets read from
// their global word at the time of the call.
#include <gtest/gtest.h>

#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

TEST(TypePredicates, SingleTypesCompareTheExactType) {
    expect_results({
        {"unset? ()", "true"},
        {"none? none", "true"},
        {"none? false", "false"},
        {"string? %file", "false"},
        {"file? %file", "true"},
        {"object? make error! \"x\"", "false"},
        {"error? make error! \"x\"", "true"},
        {"integer? #\"a\"", "false"},
        {"block? [] ", "true"},
        {"word? 'a", "true"},
        {"set-word? pick [a:] 1", "true"},
        {"routine? :as-color", "true"},
        {"function? :quit", "true"},
        {"reduce [datatype? integer! typeset? number!]", "[true true]"},
    });
}

TEST(TypePredicates, TypesetsAtBoot) {
    expect_results({
        {"any-string? %file", "true"},
        {"any-string? @ref", "true"},
        {"any-block? make hash! []", "true"},
        {"any-block? pick [a/b] 1", "true"},
        {"series? \"\"", "true"},
        {"immediate? 1-Jan-2000", "true"},
        {"scalar? 1x2", "true"},
        {"planar? 1x2", "true"},
        {"any-word? /ref", "false"},
        {"all-word? /ref", "true"},
        {"any-function? :add", "true"},
        {"number? 10%", "true"},
        {"any-object? make error! \"x\"", "true"},
        {"any-list? pick [(1)] 1", "true"},
    });
}

TEST(TypePredicates, TypesetWordsAreReadAtTheCall) {
    expect_results({
        {"saved: number! number!: make typeset! [integer!] r: reduce [number? 1 number? 1.5] number!: saved r",
         "[true false]"},
        {"number? 1.5", "true"},
        // A word that no longer holds a typeset: false, never an error.
        {"saved: number! number!: 5 r: number? 1 number!: saved r", "false"},
        {"saved: series! series!: none r: series? [] series!: saved r", "false"},
        {"series? []", "true"},
    });
}

}  // namespace
