// Fatal run-time errors: what ends the process when no language-level catch
// can help (a processor fault, an exhausted heap, a throw with no catch, a
// failed internal check). The report is two lines and the error number
// becomes the exit status.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "foundation/ext_res.h"
#include "foundation/memory.h"
#include "foundation/platform.h"

namespace zel::platform {

const char* runtime_error_text(int number) {
    static const char* const texts[] = {
        nullptr,
        "access violation",
        "invalid alignment",
        "breakpoint",
        "single step",
        "bounds exceeded",
        "float denormal operan",
        "float divide by zero",
        "float inexact result",
        "float invalid operation",
        "float overflow",
        "float stack check",
        "float underflow",
        "integer divide by zero",
        "integer overflow",
        "privileged instruction",
        "invalid virtual address",
        "illegal instruction",
        "non-continuable exception",
        "stack error or overflow",
        "invalid disposition",
        "guard page",
        "invalid handle",
        "illegal operand",
        "illegal addressing mode",
        "illegal trap",
        "coprocessor error",
        "non-existent physical address",
        "object specific hardware error",
        "hardware memory error consumed AR",
        "hardware memory error consumed AO",
        "privileged register",
        "segmentation fault",
        "FPU error",
        "Bus error",
    };
    if (number >= 1 && number <= 34) return texts[number];
    switch (number) {
        case 94: return "out of memory";
        case 95: return "no CATCH for THROW";
        case 98: return "assertion failed";
        case 99: return "unknown error";
        case 100: return "no value matched in CASE";
        case 101: return "no value matched in SWITCH";
        default: return "unknown error code!";
    }
}

// The signal and its si_code name the same faults the processor exception
// codes did; numbers 32-34 are the catch-alls of each signal.
int signal_error_number(int signo, int code) {
    switch (signo) {
        case SIGFPE:
            switch (code) {
                case FPE_INTDIV: return 13;
                case FPE_INTOVF: return 14;
                case FPE_FLTDIV: return 7;
                case FPE_FLTOVF: return 10;
                case FPE_FLTUND: return 12;
                case FPE_FLTRES: return 8;
                case FPE_FLTINV: return 9;
                case FPE_FLTSUB: return 5;
                default: return 33;
            }
        case SIGSEGV:
            return 1;
        case SIGBUS:
            switch (code) {
                case BUS_ADRALN: return 2;
                case BUS_ADRERR: return 27;
                case BUS_OBJERR: return 28;
#ifdef BUS_MCEERR_AR
                case BUS_MCEERR_AR: return 29;
                case BUS_MCEERR_AO: return 30;
#endif
                default: return 34;
            }
        case SIGILL:
            switch (code) {
                case ILL_ILLOPC: return 17;
                case ILL_ILLOPN: return 23;
                case ILL_ILLADR: return 24;
                case ILL_ILLTRP: return 25;
                case ILL_PRVOPC: return 15;
                case ILL_PRVREG: return 31;
                case ILL_COPROC: return 26;
                case ILL_BADSTK: return 19;
                default: return 17;
            }
        default:
            return 99;
    }
}

void runtime_error(int number, uintptr_t address) {
    restore_terminal();
    if (number != 0) {
        print({"\n*** Runtime Error ", int32_t(number), ": ", runtime_error_text(number)});
        print({"\n*** at: ", PrintArg::hex(uint32_t(address)), "h\n"});
    }
    quit(number);
}

void missing_hook(const char* service) {
    std::string text = std::string("*** Start-up Error: ") + service + " used before its module registered it\n";
    write_stderr(text.data(), text.size());
    quit(98);
}

void quit(int status) {
    restore_terminal();
    ext_res::release_all();
    memory::heap_free_all();
    std::exit(status);
}

}  // namespace zel::platform
