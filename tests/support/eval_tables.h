// Named tables of evaluation cases. The test that owns a table checks it
// (expect_table); every table is also registered, so that the traced runs
// (interpreter/test_eval_traced.cpp) run each one again under trace call-backs.
//
//   const EvalTable parens{"EvalTest.Parens", define_functions, {
//       {"(1 + 2) * 3", "9"},
//   }};                                  // run by eval
//   const EvalTable errors{"EvalTest.Errors", nullptr, {...}, eval_error};
//   expect_table(parens);
//
// The set-up (or nullptr) makes what the codes use (functions, globals);
// the owner's fixture calls it too.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/eval_env.h"

namespace zel::test {

struct EvalTable;

// Every table of the test program, in the order they were made.
inline std::vector<const EvalTable*>& eval_tables() {
    static std::vector<const EvalTable*> tables;
    return tables;
}

struct EvalTable {
    using Runner = std::string (*)(const std::string&);
    EvalTable(const char* name, void (*setup)(), std::initializer_list<EvalCase> cases, Runner run = eval)
        : name(name), setup(setup), cases(cases), run(run) {
        eval_tables().push_back(this);
    }
    EvalTable(const EvalTable&) = delete;
    EvalTable& operator=(const EvalTable&) = delete;

    const char* name;
    void (*setup)();
    std::vector<EvalCase> cases;
    Runner run;
};

inline void expect_table(const EvalTable& table) {
    for (const EvalCase& c : table.cases) EXPECT_EQ(table.run(c.code), c.expected) << c.code;
}

}  // namespace zel::test
