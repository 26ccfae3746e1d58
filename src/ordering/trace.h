// Debug trace of the ordering stages: written to standard output only when
// the run's debug switch is on.
#ifndef KAVELON_ORDERING_TRACE_H
#define KAVELON_ORDERING_TRACE_H

#include <cstdarg>
#include <cstdio>

#include "kavelon.h"

__attribute__((format(printf, 2, 3))) inline void kavelon_print_trace(const KAVELON *dt,
                                                                      const char *format, ...) {
    if (dt->debug == 0) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

// Flushes the trace so far, so that it stands complete before anything a
// later failure writes to standard error.
inline void kavelon_flush_trace(const KAVELON *dt) {
    if (dt->debug != 0) std::fflush(stdout);
}

#endif
