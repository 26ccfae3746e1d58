// The CSV matrix reader on what spreadsheets write around a matrix: quoted
// line breaks, blank rows, blanks around marks, numbers as marks, and where
// a fault is reported after them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "input/input.h"
#include "model/model.h"
#include "model/rows_fixture.h"

namespace {

struct Read {
    int result;
    std::string messages;
    std::string p;  // rows of P joined by '|'
};

Read read(const std::string &text, int transpose = 0) {
    KAVELON dt;
    kavelon_initialize(&dt);
    dt.xml_filename = xmlcopystring("m.csv");
    dt.transpose = transpose;
    FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    testing::internal::CaptureStderr();
    Read r{kavelon_read_csv_file(&dt, in), "", ""};
    if (r.result == 0 && kavelon_process_xml(&dt) == 0) {
        for (int i = 0; i < dt.n; i++) r.p += rows_test::row_codes(dt.P[i], dt.n) + (i + 1 < dt.n ? "|" : "");
    }
    r.messages = testing::internal::GetCapturedStderr();
    std::fclose(in);
    return r;
}

TEST(CsvInput, WhatSpreadsheetsWriteAroundAMatrix) {
    // A label with a line break, anything on the diagonal, a row of empty
    // cells, blanks around marks, numbers as marks, zero written as a decimal.
    const Read r = read("corner,\"a\nb\",c,d\r\n\"a\nb\",?, S ,x\r\n,,,\r\nc,2.5,,0.0\r\nd,I,w,00\r\n");
    ASSERT_EQ(r.result, 0) << r.messages;
    EXPECT_EQ(r.messages, "");
    EXPECT_EQ(r.p, "0SS|S00|IW0");
    // Weights with a decimal comma, as written where ';' separates cells;
    // the separator is found past the empty lines above the matrix.
    EXPECT_EQ(read("\r\n \n;a;b;c\na;;0,5;0,0\nb;\"2,0\";;\nc;,5;;\n").p, "0S0|S00|S00");
    // An empty label is a name like any other, and so is a name that looks
    // like a mark of no dependency.
    EXPECT_EQ(read(",\"\",b,Activity\n\"\",,,-\nb,S,,0\n").p, "00|S0");
    // Blanks before an opening quote leave the cell quoted, separator and all.
    EXPECT_EQ(read(", \"a, x\" ,\t\"b\"\n \"a, x\" ,,S\n\"b\" ,W,\n").p, "0S|W0");
}

TEST(CsvInput, FaultsAreNamedWhereTheyStand) {
    // The quoted line break counts as a line of the file.
    EXPECT_EQ(read(",\"a\nb\",c\n\"a\nb\",,-1\nc,,\n").messages,
              " *** ERROR: csv file (m.csv) line 4 column 3: unknown mark (-1)\n");
    EXPECT_EQ(read(",a,b\na,,S\nb,W,,\n").messages,
              " *** ERROR: csv file (m.csv) line 3 column 4: row has 4 cells, the first row has 3\n");
    // Transposed, a fault is still named at its place in the file.
    EXPECT_EQ(read(",a,b\na,,1\nb,S+,\n", 1).messages,
              " *** ERROR: csv file (m.csv) line 3 column 2: unknown mark (S+)\n");
    // Extra columns and rows are recognised only after the square part.
    EXPECT_EQ(read(",Block,a\na,,\nBlock,,\n").messages,
              " *** ERROR: csv file (m.csv) line 2 column 1: row label (a) differs from column label "
              "(Block)\n");
}

TEST(CsvInput, EmptyColumnsAfterTheMatrixAreDropped) {
    // Cells once touched beyond the matrix, as a spreadsheet exports them.
    const std::string touched = ",a,b,,\r\na,,S,,\r\nb,W,,,\r\n,,,,\r\n , ,,,\r\n";
    EXPECT_EQ(read(touched).p, "0S|W0");
    EXPECT_EQ(read(touched, 1).p, "0W|S0");
    // A mark of no dependency is still something written there.
    EXPECT_EQ(read(",a,b,\na,,S,0\nb,W,,\n").messages,
              " *** ERROR: csv file (m.csv) line 1 column 4: column label () has no row\n");
    // Rows of other widths stay ragged, even where the extra cells are empty.
    EXPECT_EQ(read(",a,b,,\na,,S\nb,W,\n").messages,
              " *** ERROR: csv file (m.csv) line 2 column 4: row has 3 cells, the first row has 5\n");
    // An empty column label whose row label at the same place is empty too
    // is an activity of the square, not a column to drop.
    EXPECT_EQ(read(",a,,,\na,,,,\n,S,,,\n").p, "00|S0");
}

TEST(CsvInput, TransposedReadsProvidersInRows) {
    EXPECT_EQ(read(",a,b,c\na,,S,\nb,,,W\nc,,,\n", 1).p, "000|S00|0W0");
    EXPECT_EQ(read(",a,b,c\na,,S,\nb,,,W\nc,,,\n", 0).p, "0S0|00W|000");
}

}  // namespace
