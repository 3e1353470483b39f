// What the console needs of start-up, until start-up builds it: the boot
// environment of boot_env.h, a `system` object with the fields the console
// and the loading, path and script functions read, the base library sources
// they stand on, and the console's own sources, evaluated in boot order.
// For the console tests and for the console stand-in program that the
// script tests run.
#pragma once

#include <string>

#include "console/launch.h"
#include "tests/support/boot_env.h"

namespace zel::test {

inline const char* const SYSTEM_STAND_IN = R"(
system: make object! [
    version: 0.1.0
    script: make object! [title: header: parent: path: args: none]
    options: make object! [boot: args: script: path: cache: none]
    standard: make object! [
        header: make object! [
            Title: Name: Type: Version: Date: File: Home: Author: Tabs: Needs: License: Note:
            History: Rights: Usage: Purpose: Comment: Language: Content: Owner: none
        ]
    ]
    state: make object! [source-files: make block! 4]
    lexer: make object! [pre-load: err-pos: exit-states: trapper: tracer: none]
    codecs: make block! 0
    console: none
]
)";

inline const char* const LIBRARY_SOURCES[] = {"boot/base/control.zel", "boot/base/files.zel", "boot/base/load.zel",
                                              "boot/base/scripts.zel"};

// The command line as one text after the program's name (arguments with
// blanks in double quotes), the way the OS gives it whole.
inline std::string command_line(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; i++) {
        std::string arg = argv[i];
        if (i > 0) line += ' ';
        line += arg.find_first_of(" \t") == std::string::npos ? arg : "\"" + arg + "\"";
    }
    return line;
}

// The environment, with the command line split by extract-boot-args, the
// active folder and the cache folder set.
inline void console_environment(int argc, const char* const* argv) {
    boot_environment();
    eval_value(SYSTEM_STAND_IN);
    for (const char* source : LIBRARY_SOURCES) run_source(source);
    for (const char* source : console::SOURCES) run_source(source);
    Cell line;
    std::string text = command_line(argc, argv);
    string::make_from_utf8(&line, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()));
    set_global("_command-line", line);
    const char* home = std::getenv("HOME");
    Cell cache;
    std::string cache_text = std::string(home ? home : "") + "/.zel/";
    string::make_from_utf8(&cache, reinterpret_cast<const uint8_t*>(cache_text.data()), int64_t(cache_text.size()));
    set_global("_cache", cache);
    eval_value(
        "system/script/args: _command-line extract-boot-args "
        "system/options/path: to-zel-file get-current-dir "
        "system/options/cache: to-zel-file _cache");
}

}  // namespace zel::test
