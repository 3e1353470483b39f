// tag!, email! and ref!: strings that keep their text without the
// delimiters of their literals ("<" ">" of a tag, "@" before a reference).
// They inherit most of the string actions; what they add is their formed and
// molded text, and the user and host parts of an address as path elements.
//
// Cell layout: as string! {header (type 44 tag!, 45 email!, 50 ref!), head
// index, node, conversion node}.
//
// Registration (each with parent string!): tag! with its own form and mold;
// email! with its own mold and eval-path; ref! with its own mold and neither
// append nor eval-path. None of them takes random, set-path, the maths, put,
// sort, trim, create, close, delete or the port actions.
//
// Relies on: strings (storage, form, change), the predefined symbols (user,
// host).
#pragma once

namespace zel::text_types {

void init();

}  // namespace zel::text_types
