// The services the datatypes take from above: the report of a missing
// registration, and the text loader's table with its stand-ins.
#include "series/services.h"

#include <cstdlib>
#include <string>

#include "core/platform.h"

namespace zel::services {

void missing(const char* service) {
    platform::restore_terminal();
    std::string text = std::string("*** Start-up Error: ") + service;
    text += " used before its module registered it\n";
    platform::write_stderr(text.data(), text.size());
    std::exit(98);
}

namespace {
void load_block_missing(Cell*, const Cell*) { missing("the text loader"); }
Cell* load_value_missing(const Cell*, Cell*) { missing("the text loader"); }
}  // namespace

Loader g_loader = {load_block_missing, load_value_missing};

}  // namespace zel::services
