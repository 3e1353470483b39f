// The services the datatypes take from the layers above (series/services.h):
// each table entry used before its module registered it ends the process
// with status 98 and a report naming the service, instead of calling through
// a null pointer. No run-time is started here, so nothing is registered.
#include <gtest/gtest.h>

#include "series/file.h"
#include "series/ownership.h"
#include "series/path.h"
#include "series/services.h"
#include "series/sorting.h"

namespace zel::test {
namespace {

struct Unregistered {
    const char* service;
    void (*use)();
};

const Unregistered UNREGISTERED[] = {
    {"the text loader", [] { Cell c{}; services::g_loader.load_value(&c, &c); }},
    {"the text loader", [] { Cell c{}; services::g_loader.load_block(&c, &c); }},
    {"the /compare function runner", [] { Cell c{}; sorting::g_comparator.run(&c, &c, &c); }},
    {"the path store-back", [] { Cell c{}; path::g_store_back.store(&c, &c, &c, &c, 2); }},
    {"the owner's change notification", [] { Cell c{}; ownership::g_notifier.tell(&c, &c, &c, &c, &c, 0, 1); }},
    {"file reading", [] { Cell c{}; file::g_file_io.read(&c, nullptr, nullptr, false, false, &c); }},
};

TEST(ServicesDeathTest, AnUnregisteredServiceIsAFatalReportNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Unregistered& u : UNREGISTERED) {
        SCOPED_TRACE(u.service);
        EXPECT_EXIT(u.use(), ::testing::ExitedWithCode(98),
                    std::string("Start-up Error: ") + u.service + " used before its module registered it");
    }
}

}  // namespace
}  // namespace zel::test
