// The services the datatypes take from above: the text loader's table
// with its stand-ins.
#include "series/services.h"

#include "foundation/platform.h"

namespace zel::services {

namespace {
void load_block_missing(Cell*, const Cell*) { platform::missing_hook("the text loader"); }
Cell* load_value_missing(const Cell*, Cell*) { platform::missing_hook("the text loader"); }
}  // namespace

Loader g_loader = {load_block_missing, load_value_missing};

}  // namespace zel::services
