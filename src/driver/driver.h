// Run control: the command line, the stage sequence, the debug file and
// the report's output stream.
#ifndef KAVELON_DRIVER_DRIVER_H
#define KAVELON_DRIVER_DRIVER_H

#include "model/record.h"

int kavelon_process_command_line(KAVELON *dt, int argc, char **argv);
void kavelon_write_debug_xml(KAVELON *dt);
int kavelon_write_output_file(KAVELON *dt);
// The whole run, banner to report; returns the exit status.
int kavelon_main(int argc, char **argv);

#endif
