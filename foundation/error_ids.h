// Every error the run-time raises, by category and id.
//
// The category's position and the id's position in the error catalogue
// (the system/catalog/errors object) are what an error's integer code is
// made of, so this list follows the catalogue's order exactly. The catalogue
// itself (titles and message templates) is Zel source loaded at boot; this
// list only lets C++ code name an error without looking words up.
#pragma once

// ZEL_ERROR(category, c-name, id word, position in the category object)
#define ZEL_ERROR_LIST(X) \
    X(throw, break, "break", 2) \
    X(throw, return, "return", 3) \
    X(throw, throw, "throw", 4) \
    X(throw, continue, "continue", 5) \
    X(throw, while_cond, "while-cond", 6) \
    X(note, no_load, "no-load", 2) \
    X(syntax, invalid, "invalid", 2) \
    X(syntax, missing, "missing", 3) \
    X(syntax, no_header, "no-header", 4) \
    X(syntax, no_zs_header, "no-zs-header", 5) \
    X(syntax, bad_header, "bad-header", 6) \
    X(syntax, malconstruct, "malconstruct", 7) \
    X(syntax, bad_char, "bad-char", 8) \
    X(script, no_value, "no-value", 2) \
    X(script, need_value, "need-value", 3) \
    X(script, not_defined, "not-defined", 4) \
    X(script, not_in_context, "not-in-context", 5) \
    X(script, no_arg, "no-arg", 6) \
    X(script, expect_arg, "expect-arg", 7) \
    X(script, expect_val, "expect-val", 8) \
    X(script, expect_type, "expect-type", 9) \
    X(script, cannot_use, "cannot-use", 10) \
    X(script, invalid_arg, "invalid-arg", 11) \
    X(script, invalid_type, "invalid-type", 12) \
    X(script, invalid_type_spec, "invalid-type-spec", 13) \
    X(script, invalid_key_type, "invalid-key-type", 14) \
    X(script, invalid_op, "invalid-op", 15) \
    X(script, no_op_arg, "no-op-arg", 16) \
    X(script, bad_op_spec, "bad-op-spec", 17) \
    X(script, invalid_data, "invalid-data", 18) \
    X(script, invalid_part, "invalid-part", 19) \
    X(script, not_same_type, "not-same-type", 20) \
    X(script, not_same_class, "not-same-class", 21) \
    X(script, not_related, "not-related", 22) \
    X(script, bad_func_def, "bad-func-def", 23) \
    X(script, bad_func_arg, "bad-func-arg", 24) \
    X(script, bad_func_extern, "bad-func-extern", 25) \
    X(script, no_refine, "no-refine", 26) \
    X(script, bad_refines, "bad-refines", 27) \
    X(script, bad_refine, "bad-refine", 28) \
    X(script, dup_refine, "dup-refine", 29) \
    X(script, word_first, "word-first", 30) \
    X(script, empty_path, "empty-path", 31) \
    X(script, unset_path, "unset-path", 32) \
    X(script, invalid_path, "invalid-path", 33) \
    X(script, invalid_path_set, "invalid-path-set", 34) \
    X(script, invalid_path_get, "invalid-path-get", 35) \
    X(script, bad_path_type, "bad-path-type", 36) \
    X(script, bad_path_type2, "bad-path-type2", 37) \
    X(script, bad_path_set, "bad-path-set", 38) \
    X(script, bad_field_set, "bad-field-set", 39) \
    X(script, dup_vars, "dup-vars", 40) \
    X(script, past_end, "past-end", 41) \
    X(script, missing_arg, "missing-arg", 42) \
    X(script, out_of_range, "out-of-range", 43) \
    X(script, invalid_chars, "invalid-chars", 44) \
    X(script, invalid_compare, "invalid-compare", 45) \
    X(script, wrong_type, "wrong-type", 46) \
    X(script, invalid_refine_arg, "invalid-refine-arg", 47) \
    X(script, type_limit, "type-limit", 48) \
    X(script, size_limit, "size-limit", 49) \
    X(script, no_return, "no-return", 50) \
    X(script, throw_usage, "throw-usage", 51) \
    X(script, locked_word, "locked-word", 52) \
    X(script, protected, "protected", 53) \
    X(script, bad_bad, "bad-bad", 54) \
    X(script, bad_make_arg, "bad-make-arg", 55) \
    X(script, bad_to_arg, "bad-to-arg", 56) \
    X(script, invalid_months, "invalid-months", 57) \
    X(script, invalid_spec_field, "invalid-spec-field", 58) \
    X(script, missing_spec_field, "missing-spec-field", 59) \
    X(script, move_bad, "move-bad", 60) \
    X(script, too_long, "too-long", 61) \
    X(script, invalid_char, "invalid-char", 62) \
    X(script, bad_loop_series, "bad-loop-series", 63) \
    X(script, wrong_denom, "wrong-denom", 64) \
    X(script, bad_denom, "bad-denom", 65) \
    X(script, invalid_obj_evt, "invalid-obj-evt", 66) \
    X(script, parse_rule, "parse-rule", 67) \
    X(script, parse_end, "parse-end", 68) \
    X(script, parse_invalid_ref, "parse-invalid-ref", 69) \
    X(script, parse_block, "parse-block", 70) \
    X(script, parse_unsupported, "parse-unsupported", 71) \
    X(script, parse_infinite, "parse-infinite", 72) \
    X(script, parse_stack, "parse-stack", 73) \
    X(script, parse_keep, "parse-keep", 74) \
    X(script, parse_into_bad, "parse-into-bad", 75) \
    X(script, parse_into_type, "parse-into-type", 76) \
    X(script, draw_invalid, "draw-invalid", 77) \
    X(script, draw_infinite, "draw-infinite", 78) \
    X(script, invalid_data_facet, "invalid-data-facet", 79) \
    X(script, face_type, "face-type", 80) \
    X(script, not_window, "not-window", 81) \
    X(script, bad_window, "bad-window", 82) \
    X(script, not_linked, "not-linked", 83) \
    X(script, not_event_type, "not-event-type", 84) \
    X(script, invalid_facet_type, "invalid-facet-type", 85) \
    X(script, vid_invalid_syntax, "vid-invalid-syntax", 86) \
    X(script, rtd_invalid_syntax, "rtd-invalid-syntax", 87) \
    X(script, rtd_no_match, "rtd-no-match", 88) \
    X(script, react_bad_func, "react-bad-func", 89) \
    X(script, react_not_enough, "react-not-enough", 90) \
    X(script, react_no_match, "react-no-match", 91) \
    X(script, react_bad_obj, "react-bad-obj", 92) \
    X(script, react_gctx, "react-gctx", 93) \
    X(script, lib_invalid_arg, "lib-invalid-arg", 94) \
    X(script, zb_invalid_record, "zb-invalid-record", 95) \
    X(math, zero_divide, "zero-divide", 2) \
    X(math, overflow, "overflow", 3) \
    X(math, positive, "positive", 4) \
    X(access, cannot_open, "cannot-open", 2) \
    X(access, cannot_close, "cannot-close", 3) \
    X(access, invalid_utf8, "invalid-utf8", 4) \
    X(access, not_open, "not-open", 5) \
    X(access, no_connect, "no-connect", 6) \
    X(access, no_scheme, "no-scheme", 7) \
    X(access, unknown_scheme, "unknown-scheme", 8) \
    X(access, invalid_spec, "invalid-spec", 9) \
    X(access, invalid_port, "invalid-port", 10) \
    X(access, invalid_actor, "invalid-actor", 11) \
    X(access, no_port_action, "no-port-action", 12) \
    X(access, no_create, "no-create", 13) \
    X(access, no_codec, "no-codec", 14) \
    X(access, bad_media, "bad-media", 15) \
    X(access, invalid_cmd, "invalid-cmd", 16) \
    X(user, message, "message", 2) \
    X(internal, bad_path, "bad-path", 2) \
    X(internal, not_here, "not-here", 3) \
    X(internal, no_memory, "no-memory", 4) \
    X(internal, wrong_mem, "wrong-mem", 5) \
    X(internal, stack_overflow, "stack-overflow", 6) \
    X(internal, limit_hit, "limit-hit", 7) \
    X(internal, too_deep, "too-deep", 8) \
    X(internal, no_cycle, "no-cycle", 9) \
    X(internal, feature_na, "feature-na", 10) \
    X(internal, not_done, "not-done", 11) \
    X(internal, invalid_error, "invalid-error", 12) \
    X(internal, routines, "routines", 13) \
    X(internal, zel_system, "zel-system", 14) \
    X(internal, deprecated, "deprecated", 15)

// Categories in catalogue order (position = category code / 100).
#define ZEL_ERROR_CATEGORIES(X) \
    X(throw, 0) \
    X(note, 1) \
    X(syntax, 2) \
    X(script, 3) \
    X(math, 4) \
    X(access, 5) \
    X(reserved1, 6) \
    X(reserved2, 7) \
    X(user, 8) \
    X(internal, 9)
