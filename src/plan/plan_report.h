// The plan's part of the reports: the text report's plan section, the XML
// report's plan element of a block and plan summary, and the numbers and
// words they share with the command line and the model builder.
#ifndef KAVELON_PLAN_PLAN_REPORT_H
#define KAVELON_PLAN_PLAN_REPORT_H

#include <cstdio>

#include "plan/plan.h"

// Reads a duration or an iteration factor: a decimal number without sign or
// exponent ("5", "2.5", ".5", "5."), at most 15 digits before the point,
// blanks and line breaks around it allowed. Returns 0 with the value, or 1
// for anything else (an empty text too).
int kavelon_read_plan_number(const char *text, double *value);

// A time or duration as the reports write it: at most 15 significant
// digits, which is what a duration can be given with, so that a sum such as
// 0.1 + 0.2 reads 0.3 and not the binary number's last digits ("2", "2.5",
// "1e+20"); at most 22 characters and the terminator.
void kavelon_format_plan_number(double value, char (&text)[32]);

// What the what-if variant lets count as strong, in words for the text
// report ("weak dependencies count as strong", "weak and ICD ...") and as
// one word for the XML report ("weak", "icd", "weak_icd"); none for the
// plain run.
const char *kavelon_what_if_text(int32_t what_if);
const char *kavelon_what_if_word(int32_t what_if);

// The text report's plan section, written after the blocks: levels, the
// critical path, one line per block and per activity with its times, and
// with the inputs to assume listed, those of every block that has any.
void kavelon_write_plan_txt(const KAVELON *dt, const KAVPLAN *plan, FILE *out);

// The XML report's plan element of block b (after its size and sequence),
// and the plan summary after the last block.
void kavelon_write_plan_xml_block(const KAVELON *dt, const KAVPLAN *plan, int32_t block, FILE *out);
void kavelon_write_plan_xml_summary(const KAVPLAN *plan, FILE *out);

#endif
