// The writer test support is header-only; this unit keeps the benchmark's build unchanged.
#include "WriterTestSupport.h"
