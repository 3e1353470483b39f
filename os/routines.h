// The boot routines of the OS services (get-current-dir, set-current-dir,
// create-dir, exists?, quit-return), added to the routine table for the boot
// sources to name.
#pragma once

namespace zel::simple_io {

// Once, from the run-time init, after the natives. Also hands file! and
// url! their I/O (file::g_file_io).
void register_routines();

}  // namespace zel::simple_io
