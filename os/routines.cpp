// The boot routines of the OS services: the current directory, making
// directories, testing for files, and ending the process with a status.
// Each is made into a routine! by the boot sources (`_boot-routine`), which
// name them by these keys. Registering them also hands file! and url! their
// I/O (file::g_file_io: files and HTTP requests), which is these services'
// too.
//
// Relies on: simple-io (os/file.h, os/http.h), file! (OS paths), strings,
// the routine table, the platform layer (the terminal put back before
// exiting).
#include "os/routines.h"

#include <cstdlib>
#include <string>

#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/routine.h"
#include "os/file.h"
#include "os/http.h"
#include "series/file.h"
#include "series/string.h"

namespace zel::simple_io {

namespace {

using routine::MachineValue;

// get-current-dir: a new string! with the current directory, ending in "/".
MachineValue get_current_dir_r(const MachineValue*) {
    std::string dir = get_current_dir();
    string::make_from_utf8(stack::arguments(), reinterpret_cast<const uint8_t*>(dir.data()), int64_t(dir.size()));
    return MachineValue{.cell = nullptr};
}

// set-current-dir path: the path; access cannot-open when the OS refuses.
MachineValue set_current_dir_r(const MachineValue* a) {
    std::string path = file::to_os_path(a[0].cell);
    if (!set_current_dir(path.c_str())) fire(ERR_access_cannot_open, a[0].cell);
    return MachineValue{.cell = a[0].cell};
}

// create-dir path: the path; access no-create when the OS refuses.
MachineValue create_dir_r(const MachineValue* a) {
    std::string path = file::to_os_path(a[0].cell);
    if (!make_dir(path.c_str())) fire(ERR_access_no_create, a[0].cell);
    return MachineValue{.cell = a[0].cell};
}

MachineValue exists_r(const MachineValue* a) {
    std::string path = file::to_os_path(a[0].cell);
    return MachineValue{.integer = file_exists_q(path.c_str())};
}

}  // namespace

void register_routines() {
    routine::register_code("get-current-dir", get_current_dir_r, routine::RESULT_OWN, true);
    routine::register_code("set-current-dir", set_current_dir_r, routine::RESULT_OWN, true);
    routine::register_code("create-dir", create_dir_r, routine::RESULT_OWN, true);
    routine::register_code("exists?", exists_r, routine::RESULT_LOGIC, true);
    file::g_file_io = {read, write, remove, rename, query, request_http};
}

}  // namespace zel::simple_io
