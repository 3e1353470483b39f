// The zlib (RFC 1950) and gzip (RFC 1952) framings around DEFLATE, and the
// registration of the three DEFLATE-based codecs; the entry points are
// declared in os/deflate.h.
//
// Relies on: the DEFLATE encoder and decoder, the checksums, the workers'
// codec slots.
#pragma once

#include "os/deflate.h"
