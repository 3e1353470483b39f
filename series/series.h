// series!: the abstract parent of every series type (blocks, strings,
// binaries, vectors, images). No value carries its id; its action row holds
// the handlers the series types inherit.
#pragma once

#include "core/cell.h"

namespace zel::series {

void init();

}  // namespace zel::series
