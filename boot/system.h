// Start-up's part in the `system` object: the boot-only intrinsic that gives
// the objects of the boot environment their fixed class ids, the facts of
// the build and of the process that only the run-time knows, and handing
// the object's parts to the run-time modules that read them.
//
// Relies on: the system object's source (boot/base/system.zel), objects,
// the lexer (dates and the version tuple), strings, the platform (the
// current folder, the environment, the command line), the error module.
#pragma once

namespace zel::boot::system_setup {

// `_boot-class id object`: stamps the fixed class id on the object and
// answers it. Unset again when boot ends (routine::end_boot).
void define_class_intrinsic();

// Once `system` is bound: system/words (the global context as an object),
// the version's text, the build date, the git facts and the program's path,
// the current folder in system/options/path; the error catalogue is
// installed and the run-time reads `system` from now on.
void complete_object();

// The facts of the process, once the libraries are built: system/version
// becomes a tuple, system/options/cache the per-user cache folder
// ($HOME/.zel/, none without HOME), and the command line is split into
// system/options/boot (the program), system/options/args (a block of the
// other arguments) and system/script/args (their text, quoted where a
// blank or an empty argument needs it; none when there are no arguments).
void set_process_facts();

}  // namespace zel::boot::system_setup
