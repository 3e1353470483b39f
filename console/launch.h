// The console's start: the entry code's last act. It runs the console
// launcher written in Zel (`cli-console-ctx/launch`: the settings, the
// console's set-up, then a script named on the command line or the
// read-eval-print loop) and answers the process's exit status.
//
// The boot environment has evaluated, before the call, the base library
// (boot/base) and the console's Zel sources, in the order of SOURCES.
#pragma once

namespace zel::console {

// The console's Zel sources, relative to the source tree, in boot order.
inline constexpr const char* SOURCES[] = {"console/complete.zel", "console/input.zel", "console/shell.zel",
                                          "console/console.zel", "console/settings.zel", "console/help.zel"};

// 0 when the launcher returns; an error that nothing caught is reported
// and ends the process with status -2.
int launch();

}  // namespace zel::console
