// series!: registration of the shared handlers every series type inherits.
#include "series/series.h"

#include "core/datatype.h"

namespace zel::series {

void init() {
    datatype::TypeRecord r(TYPE_SERIES, 0, "series!");
    datatype::register_type(r);
}

}  // namespace zel::series
