// The model builder: checks the entity tree against the design-process
// vocabulary and fills the run record's names and matrices.
#ifndef KAVELON_MODEL_MODEL_H
#define KAVELON_MODEL_MODEL_H

#include "model/record.h"

int kavelon_process_xml(KAVELON *dt);
// Reads a square CSV matrix from `in` into the entity tree the equivalent
// XML file gives (root and entities of the record); returns 0, or 1 after one
// line naming the file, line, column and fault.
int kavelon_read_csv_file(KAVELON *dt, FILE *in);

#endif
