// A run-time shut down and started again (as the fuzz targets do every few
// thousand runs) keeps nothing of the first one: errors raised afterwards are
// named through the new catalogue and carry its messages.
#include <gtest/gtest.h>

#include "interpreter/error.h"
#include "interpreter/system_object.h"
#include "tests/support/boot_env.h"
#include "tests/support/eval_env.h"
#include "tests/support/runtime_env.h"

using namespace zel;

TEST(Restart, ErrorsAreNamedByTheNewCatalogue) {
    for (int start = 0; start < 2; start++) {
        if (runtime::initialized()) runtime::shutdown();
        test::boot_environment();
        ASSERT_NE(system_object::get(), nullptr);
        ASSERT_NE(type_of(error::catalog()), TYPE_NONE);
        EXPECT_EQ(test::error_of([] { fire(ERR_script_no_value, &none::g_none); }), "script/no-value");
        EXPECT_EQ(test::eval_error("1 / 0"), "math/zero-divide");
    }
}
