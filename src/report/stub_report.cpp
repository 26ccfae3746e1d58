// Placeholder until the writers land: they write nothing.
#include "kavelon.h"

int kavelon_time_stamp(char buf[26]) { buf[0] = '\0'; return 1; }
int kavelon_write_txt(KAVELON *, FILE *) { return 0; }
int kavelon_write_csv(KAVELON *, FILE *) { return 0; }
int kavelon_write_xml(KAVELON *, FILE *) { return 0; }
