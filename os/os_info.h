// The operating system as scripts see it: the record `os-info` answers and
// the environment as a map (the worker of the `list-env` native).
//
// On Linux the record's name is the distribution's PRETTY_NAME from
// /etc/os-release (else the kernel's name and release), its architecture
// the uname machine in the language's words, its version the kernel
// release as a three-part tuple and its build the number after "#" in the
// kernel's version text. Text from the system is decoded leniently:
// malformed UTF-8 becomes U+FFFD.
//
// Relies on: strings, blocks, maps, tuples, objects (construct), the
// workers table.
#pragma once

#include <string>

#include "foundation/cell.h"

namespace zel::os_info {

// The record, a new object of the fields name, arch, version and build,
// into `result`.
Cell* get(Cell* result);

// What `arch` is for a uname machine name.
const char* arch_word(const std::string& machine);
// The three numbers a kernel release text begins with ("6.1.0-18-amd64"
// gives 6 1 0; missing ones are 0); the build number after "#" in a kernel
// version text, or 0.
void release_numbers(const std::string& release, int numbers[3]);
int build_number(const std::string& version);

// Registers the list-env worker (run-time init).
void init();

}  // namespace zel::os_info
