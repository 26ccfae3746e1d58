// The whole of kavelon for programs built beside it (kavelon-svg, the fuzz
// targets, the benchmarks): every module's public header. kavelon's own
// sources include the module headers they use, so an include shows a
// dependency.
#ifndef KAVELON_KAVELON_H
#define KAVELON_KAVELON_H

#include "driver/driver.h"
#include "input/input.h"
#include "model/model.h"
#include "model/record.h"
#include "ordering/ordering.h"
#include "sequence/sequence.h"
#include "report/report.h"
#include "xml/xmlentity.h"

#endif
