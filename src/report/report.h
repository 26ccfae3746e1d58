// The reports: the time stamp, the text, CSV, XML and DSM writers, and the
// batched bytes the text and XML writers put their lines together in.
#ifndef KAVELON_REPORT_REPORT_H
#define KAVELON_REPORT_REPORT_H

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "model/record.h"

// Fills buf with the local time in the 24-character calendar form and a
// newline; returns 0, or 1 (buf empty) when the clock cannot be converted.
int kavelon_time_stamp(char buf[26]);
// The writers share one signature: they only read the record, write the
// whole report to the open stream and return 0, or 1 after a message when
// the report could not be completed: out of memory, or a write error left
// on the stream, which the caller reports as it closes the stream. The
// driver chooses one by the format with a plain switch. The DSM table ("-fDSM", the partitioned matrix as a
// plain CSV table, readable back as input) carries no time stamp.
int kavelon_write_txt(const KAVELON *dt, FILE *out);
int kavelon_write_csv(const KAVELON *dt, FILE *out);
int kavelon_write_xml(const KAVELON *dt, FILE *out);
int kavelon_write_dsm(const KAVELON *dt, FILE *out);
int kavelon_write_xlsx(const KAVELON *dt, const char *path);  // the DSM table and block list as a workbook at path

// Forms the calendar text of the given time in local time, English names
// whatever the locale: "Tue Dec  8 18:49:48 2026\n". Returns 0, or 1 with buf
// empty when the time cannot be converted (before 1970, beyond the local-time
// conversion, or a year that does not fit four digits).
int kavelon_format_time_stamp(std::time_t clock, char buf[26]);

// Takes the time stamp once, at the start of a report: returns buf holding
// it, or nullptr when the clock cannot be converted.
const char *kavelon_take_time_stamp(char buf[26]);

// The stamp without its final newline, for the reports that put it inside a line.
std::string kavelon_stamp_text(const char *stamp);

// Bytes of a report put together before they are written: the lines of a
// large model's report come in many short pieces, and a stdio call per piece
// would cost more than the bytes. Pieces too long for it go out on their
// own. Whatever is put must be flushed before anything else is written to
// the stream.
struct KAVTEXT {
    FILE *out;
    size_t used;
    char data[8192];
};
inline void kavelon_start_text(KAVTEXT *text, FILE *out) {
    text->out = out;
    text->used = 0;
}

inline void kavelon_flush_text(KAVTEXT *text) {
    if (text->used > 0) std::fwrite(text->data, 1, text->used, text->out);
    text->used = 0;
}

inline void kavelon_put_text(KAVTEXT *text, const char *bytes, size_t length) {
    if (length > sizeof text->data - text->used) {
        kavelon_flush_text(text);
        if (length >= sizeof text->data) {
            std::fwrite(bytes, 1, length, text->out);
            return;
        }
    }
    std::memcpy(text->data + text->used, bytes, length);
    text->used += length;
}

inline void kavelon_put_string(KAVTEXT *text, const char *s) { kavelon_put_text(text, s, std::strlen(s)); }

// The writers behind kavelon_write_txt, _csv and _xml, given the time stamp
// as kavelon_time_stamp forms it (with its newline), or nullptr for a time
// that could not be converted. They return as the writers above do.
int kavelon_write_txt_with_stamp(const KAVELON *dt, FILE *out, const char *stamp);
int kavelon_write_csv_with_stamp(const KAVELON *dt, FILE *out, const char *stamp);
int kavelon_write_xml_with_stamp(const KAVELON *dt, FILE *out, const char *stamp);

#endif
