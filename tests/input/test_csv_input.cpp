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

namespace {

Read read_with(const std::string &text, int separator, double minimum) {
    KAVELON dt;
    kavelon_initialize(&dt);
    dt.xml_filename = xmlcopystring("m.csv");
    dt.csv_separator = separator;
    dt.mark_minimum = minimum;
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

}  // namespace

TEST(CsvInput, SeparatorsAndLineEnds) {
    // A tab-separated paste, its empty cells kept apart by the tabs.
    EXPECT_EQ(read("\ta\tb\tc\na\t\tS\t\nb\t\t\tW\nc\tI\t\t\n").p, "0S0|00W|I00");
    // CR alone ends a line, outside quotes; inside, it belongs to the label.
    EXPECT_EQ(read(",a,\"b\rc\"\ra,,S\r\"b\rc\",W,\r").p, "0S|W0");
    // As many commas as semicolons in the first line: the one every line
    // holds as often wins.
    EXPECT_EQ(read(";a,1;b,2\na,1;;S\nb,2;W;\n").p, "0S|W0");
    // A separator no guess would find, named.
    EXPECT_EQ(read_with("|a|b\na||S\nb|W|\n", '|', 0).p, "0S|W0");
    EXPECT_EQ(read_with("|a|b\na||S\nb|W|\n", 0, 0).messages,
              " *** ERROR: csv file (m.csv) line 2 column 1: row label (a||S) has no column\n");
}

TEST(CsvInput, ThresholdOfNumericMarks) {
    const std::string weights = ",a,b,c\na,,0.5,2.5e-1\nb,1E-3,,\"0,1\"\nc,,0.09,x\n";
    EXPECT_EQ(read_with(weights, 0, 0).p, "0SS|S0S|0S0");
    // From the threshold on: 0.1 is strong, 0.09 and 1E-3 are not; letters
    // stay marks.
    EXPECT_EQ(read_with(weights, 0, 0.1).p, "0SS|00S|000");
    EXPECT_EQ(read_with(weights, 0, 0.1 + 1e-9).p, "0SS|000|000");
    // An exponent needs its digits; a number is no name.
    EXPECT_EQ(read_with(",a,b\na,,1E\nb,,\n", 0, 0).messages,
              " *** ERROR: csv file (m.csv) line 2 column 3: unknown mark (1E)\n");
}

TEST(CsvInput, TitlesNumbersAndNotesAroundTheMatrix) {
    // A title of two cells above, a notes column after: both passed over.
    EXPECT_EQ(read("Title, draft\n,a,b,Notes\na,,S,\"see, here\"\nb,W,,\n").p, "0S|W0");
    // A ragged row below the title is measured against the heading row.
    EXPECT_EQ(read("Title\n,a,b\na,,S\nb,W\n").messages,
              " *** ERROR: csv file (m.csv) line 4 column 3: row has 2 cells, the heading row has 3\n");
    // A column after the square that holds only marks pairs with a row
    // that is missing, and says so.
    EXPECT_EQ(read(",a,b,c\na,,S,S\nb,W,,\n").messages,
              " *** ERROR: csv file (m.csv) line 1 column 4: column label (c) has no row\n");
    // The template: row numbers from 1, columns by number or by name.
    EXPECT_EQ(read(",,1,2\na,1,,S\nb,2,W,\n").p, "0S|W0");
    EXPECT_EQ(read("Name,No.,a,b\na,1,,S\nb,2,W,\n").p, "0S|W0");
    // Numbers that do not start at 1 are no template: the labels differ.
    EXPECT_EQ(read(",,5,6\na,5,,S\nb,6,W,\n").messages,
              " *** ERROR: csv file (m.csv) line 2 column 1: row label (a) differs from column label ()\n");
    // The heading row is looked for among the first 16 rows only.
    std::string deep;
    for (int k = 0; k < 16; k++) deep += "note " + std::to_string(k) + "\n";
    EXPECT_EQ(read(deep + ",a,b\na,,S\nb,W,\n").messages,
              " *** ERROR: csv file (m.csv) line 17 column 2: row has 3 cells, the first row has 1\n");
}
