#pragma once

// Only names marked OSTRANE_EXPORT leave libostrane.so; the library is built with hidden
// visibility, so everything else stays private to it.
#if defined(OSTRANE_BUILDING)
#define OSTRANE_EXPORT __attribute__((visibility("default")))
#else
#define OSTRANE_EXPORT
#endif
