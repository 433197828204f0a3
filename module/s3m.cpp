#include "loader.h"

// Placeholder until the S3M loader lands: recognises nothing.
u32 s3m_probe(const u8 *, i32) { return 0; }
i32 s3m_load(const u8 *, i32, module_context *) { return -1; }
