// Input: reading the file named on the command line into the entity tree of
// a design process, whatever its format. An XML file gives its tree as it
// stands; any other format is turned into the very tree the equivalent XML
// file gives, so that the model builder checks and reports every input
// alike. A new format is one reader here and one line in the chooser
// (kavelon_read_xml_file).
#ifndef KAVELON_INPUT_INPUT_H
#define KAVELON_INPUT_INPUT_H

#include <cstdio>

#include "model/record.h"

// The labels of the "-fDSM" table beyond its square part: columns for the
// activity's name, its block and predecessor block, one column per
// constraint and one row per output, the last two followed by the name. The
// DSM writer puts them and the CSV reader recognises them, so that the table
// reads back as the model it shows.
inline constexpr char kavelon_dsm_activity_label[] = "Activity";
inline constexpr char kavelon_dsm_block_label[] = "Block";
inline constexpr char kavelon_dsm_predecessor_label[] = "Predecessor block";
inline constexpr char kavelon_dsm_constraint_prefix[] = "Constraint: ";
inline constexpr char kavelon_dsm_output_prefix[] = "Output: ";

// Opens dt->xml_filename and reads it with the reader its name calls for:
// a name ending in ".csv", in any case, is a CSV matrix, any other an XML
// file. Sets dt->entities and dt->root; returns 0, or 1 after a message.
int kavelon_read_xml_file(KAVELON *dt);

// Reads an XML document from `in` into the entity tree (entities, root and
// text_after of the record); returns 0, or 1 after the reader's message.
int kavelon_read_xml_document(KAVELON *dt, FILE *in);

// Reads a square CSV matrix from `in` into the entity tree the equivalent
// XML file gives (root and entities of the record); returns 0, or 1 after one
// line naming the file, line, column and fault.
int kavelon_read_csv_file(KAVELON *dt, FILE *in);

#endif
