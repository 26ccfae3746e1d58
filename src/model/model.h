// The model builder: checks the entity tree against the design-process
// vocabulary and fills the run record's names and matrices.
#ifndef KAVELON_MODEL_MODEL_H
#define KAVELON_MODEL_MODEL_H

#include "model/record.h"

int kavelon_process_xml(KAVELON *dt);

#endif
