// A child process for tests that need a whole process: faults, interrupts,
// uncaught errors, start-up's outermost catch and damaged boot images, and
// the bytes that reach a redirected standard output.
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "boot/boot_image.h"
#include "boot/runtime.h"
#include "boot/start.h"
#include "foundation/frames.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "scalars/simple_types.h"
#include "tests/support/boot_env.h"

using namespace zel;

namespace {

// An integer division by zero the compiler cannot see or fold.
__attribute__((noinline)) int divide_by_zero() {
    int dividend = 7, divisor = 0, result;
    asm volatile("cltd\n\tidivl %2" : "=a"(result) : "a"(dividend), "r"(divisor) : "edx");
    return result;
}

// A string cell over a new buffer of the given unit holding `units`.
Cell string_of(const void* units, size_t count, int unit) {
    Node n = memory::alloc_chars(int64_t(count), unit);
    Series* s = memory::series_of(n);
    std::memcpy(s->data(), units, count * size_t(unit));
    s->tail = uint32_t(count * size_t(unit));
    Cell c;
    cell::set(&c, TYPE_STRING, 0, n, 0);
    return c;
}

// Recursion that only the depth guard stops.
volatile bool g_keep_going = true;

__attribute__((noinline)) int descend(int depth) {
    volatile char frame[256];
    frame[0] = char(depth);
    platform::check_native_stack();
    return g_keep_going ? descend(depth + 1) + frame[0] : 0;
}

void print_texts() {
    const char latin1[] = {'c', 'a', 'f', char(0xE9), 0};
    Cell a = string_of(latin1, 4, 1);
    platform::print_string(&a, true);
    const uint16_t wide[] = {0x20AC, ' ', 0x4E2D, 0x1B, '[', '1', 'm', 'x'};
    Cell b = string_of(wide, 8, 2);
    platform::print_string(&b, true);
    platform::print_c_string("raw");
    const uint32_t ucs[] = {0x1F600, '!'};
    Cell c = string_of(ucs, 2, 4);
    platform::print_string(&c, false);
    platform::print_line({" ", int32_t(-12), ' ', true});
}

// Start-up with a launcher standing in for the console's.
int launch_status() { return 7; }
int launch_quit_throw() { throw Throw{THROW_QUIT}; }
int launch_other_throw() { throw Throw{THROW_THROW}; }
int launch_error() { fire(ERR_math_zero_divide); }

// Start-up from a damaged copy of the boot image.
[[noreturn]] void boot_damaged(const char* how) {
    std::vector<uint8_t> image(boot_image::g_image, boot_image::g_image + boot_image::g_image_size);
    if (!std::strcmp(how, "header")) image[0] = 'X';
    else image.resize(image.size() / 2);
    boot::main({image.data(), int64_t(image.size())}, launch_status);
}

// Modes that run start-up itself, from the start.
int boot_mode(const char* mode) {
    boot::Image image{boot_image::g_image, boot_image::g_image_size};
    if (!std::strcmp(mode, "boot-status")) boot::main(image, launch_status);
    if (!std::strcmp(mode, "boot-quit-throw")) boot::main(image, launch_quit_throw);
    if (!std::strcmp(mode, "boot-other-throw")) boot::main(image, launch_other_throw);
    if (!std::strcmp(mode, "boot-error")) boot::main(image, launch_error);
    if (!std::strcmp(mode, "boot-bad-header")) boot_damaged("header");
    if (!std::strcmp(mode, "boot-truncated")) boot_damaged("truncated");
    return -1;
}

int run(void* arg) {
    const char* mode = static_cast<const char*>(arg);
    if (!std::strncmp(mode, "boot-", 5)) return boot_mode(mode);
    runtime::init();
    if (!std::strcmp(mode, "divide-by-zero")) return divide_by_zero();
    if (!std::strcmp(mode, "segv")) {
        ::raise(SIGSEGV);
        return 3;
    }
    if (!std::strcmp(mode, "interrupt")) {
        platform::write_raw("before\n", 7);
        ::raise(SIGINT);
        return 3;
    }
    if (!std::strcmp(mode, "print")) {
        print_texts();
        return 0;
    }
    if (!std::strcmp(mode, "deep-recursion")) {
        try {
            descend(0);
        } catch (const ErrorThrow& e) {
            platform::print_line({e.id_name()});
            return platform::stack_has_room() ? 0 : 4;
        }
        return 3;
    }
    if (!std::strcmp(mode, "runtime-error")) platform::runtime_error(95, 0x12345678);
    if (!std::strcmp(mode, "uncaught-error")) {
        // An evaluation with no try around it.
        test::boot_environment();
        Cell code = test::load_text("1 / 0");
        stack::push(&code);
        (void)interpreter::eval_block(stack::arguments(), true);
        return 3;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    platform::startup(argc, argv);
    return platform::run_on_big_stack(run, argv[1]);
}
