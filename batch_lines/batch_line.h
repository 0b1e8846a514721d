// One batch line of Exec: "TOOL name base.OUT p1 p2 p3\n".
#pragma once

#include "console_services.h"

// Writes the batch line for `name`, where base is the part of the name
// before its first dot (the whole name when it has none).  The texts are
// values, never formats.  Returns false once a write on `out` has failed.
bool write_batch_line(TextStream *out, const char *tool, const char *name, const char *out_ext,
                      const char *const params[3]);
