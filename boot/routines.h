// The routines of the boot environment: small run-time functions that the
// library binds to words as routine! values (boot/library/routines.zel and
// the fields of system/state), each made by `_boot-routine` from its spec
// and the key it is registered under here:
//
//   quit-return        ends the process with a status
//   set-quiet          sets a word in its own context without change events
//   set-slot-quiet     sets the value at a block's position without owner events
//   shift-right, shift-left, shift-logical   the shift native's three modes
//   as-color, as-ipv4, as-rgba   tuples from integer components, each taken
//                      modulo 256 (a negative one is an invalid argument)
//   count-chars        UTF-8 characters between two positions of a binary
//   stack-size?, pick-stack, frame-index?, collect-calls   the argument
//                      stack and the calls, for the debugging tools
//   tracing?           whether the evaluator sends trace events
//   interpreted?       whether a frame below was made by the evaluator
//   float-switches     the float module's switches (pretty printing, full
//                      support), from system/options/float's fields
//   gc-active?, gc-series-cycles, gc-nodes-cycles   system/state/GC's fields
//   json-unescape      the JSON string unescaper, in place
//   json-walk-enter, json-walk-leave   the JSON encoder's walk on the cycle
//                      stack (no-cycle, too-deep)
//   write-stdout       a value to standard output: a binary's bytes, a
//                      string's UTF-8, any other value formed
//   zelbin-encode, zelbin-decode   the Zelbin codec's encode* and decode
//   os-info            the OS record (os/os_info.h)
//   read-clipboard, write-clipboard   the clipboard (os/clipboard.h)
//   image-encode, image-decode
//                      raise internal not-done until the image module
//                      exists
//
// (last-lf? is the output natives'; the file routines are simple-io's.)
//
// Relies on: the routine table, the argument stack and frames, contexts,
// integers (shifts), the float text switches, tuples, strings, unicode, the
// collector's statistics.
#pragma once

namespace zel::boot::routines {

// The run-time init: every routine above goes into the routine table.
void register_all();

}  // namespace zel::boot::routines
