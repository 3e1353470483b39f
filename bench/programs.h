// The benchmark programs of the C++ drivers: <dir>/<name>.zel loaded as a
// block through the test boot environment, kept reachable for the whole run
// (collections come between the timed runs too).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/boot_env.h"
#include "tests/support/held.h"

namespace zel::bench {

inline Cell load_program(const std::string& dir, const std::string& name) {
    std::ifstream in(dir + "/" + name + ".zel");
    std::stringstream text;
    text << in.rdbuf();
    return test::held(test::load(text.str()));
}

}  // namespace zel::bench
