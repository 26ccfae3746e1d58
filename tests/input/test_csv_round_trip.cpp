// A "-fDSM" table read back as input gives the same model: the same
// activities in the same order, the same blocks and predecessor blocks, and
// the same matrices, for the bundled example and for random matrices with
// constraints and outputs. (Subblocks number the activities of an
// independent block in input order, which the table changes to report order,
// so they may come out numbered differently.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <random>
#include <string>

#include "input/input.h"
#include "model/model.h"
#include "model/rows_fixture.h"
#include "ordering/ordering.h"
#include "report/report.h"

namespace {

// Builds and orders the model the way a run without "-d" does.
void order(KAVELON &dt) {
    ASSERT_EQ(kavelon_process_xml(&dt), 0);
    ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&dt), 0);
    ASSERT_EQ(kavelon_fast_sort_P(&dt), 0);
    ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&dt), 0);
}

void read_csv_text(KAVELON &dt, const std::string &text) {
    kavelon_initialize(&dt);
    FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(kavelon_read_csv_file(&dt, in), 0) << text;
    std::fclose(in);
    order(dt);
}

std::string dsm_of(KAVELON &dt) {
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    kavelon_write_dsm(&dt, out);
    std::fclose(out);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

std::string row_without(const KAVROW &row, int columns, int skip) {
    std::string s = rows_test::row_codes(row, columns);
    if (skip >= 0 && skip < static_cast<int>(s.size())) s[static_cast<size_t>(skip)] = '-';
    return s;
}

void expect_same_model(const KAVELON &a, const KAVELON &b, const std::string &dsm) {
    ASSERT_EQ(a.n, b.n) << dsm;
    ASSERT_EQ(a.nQ, b.nQ) << dsm;
    ASSERT_EQ(a.nR, b.nR) << dsm;
    EXPECT_EQ(a.nblock, b.nblock) << dsm;
    for (int i = 0; i < a.n; i++) {
        EXPECT_STREQ(a.design_data_name[i], b.design_data_name[i]) << "row " << i << "\n" << dsm;
        EXPECT_STREQ(a.design_activity_name[i], b.design_activity_name[i]) << "row " << i;
        EXPECT_EQ(a.d[i]->block_order, b.d[i]->block_order) << "row " << i << "\n" << dsm;
        EXPECT_EQ(a.d[i]->predecessor_block, b.d[i]->predecessor_block) << "row " << i << "\n" << dsm;
        // The table marks the diagonal whatever the matrix holds there.
        EXPECT_EQ(row_without(a.P[i], a.n, i), row_without(b.P[i], b.n, i)) << "row " << i << "\n" << dsm;
        if (a.nQ > 0) {
            EXPECT_EQ(rows_test::row_codes(a.Q[i], a.nQ), rows_test::row_codes(b.Q[i], b.nQ)) << "row " << i;
        }
    }
    for (int o = 0; o < a.nR; o++) {
        EXPECT_STREQ(a.output_name[o], b.output_name[o]);
        EXPECT_EQ(rows_test::row_codes(a.R[o], a.n), rows_test::row_codes(b.R[o], b.n)) << "output " << o << "\n" << dsm;
        if (a.nQ > 0) {
            EXPECT_EQ(rows_test::row_codes(a.T[o], a.nQ), rows_test::row_codes(b.T[o], b.nQ)) << "output " << o;
        }
    }
}

// A matrix in the reader's plain rules, with constraint columns and output
// rows after it, every mark the reader knows, and labels that need quoting.
std::string random_matrix(std::mt19937 &rng) {
    const int n = 1 + static_cast<int>(rng() % 24);
    const int nq = static_cast<int>(rng() % 3);
    const int nr = static_cast<int>(rng() % 3);
    const int density = 1 + static_cast<int>(rng() % 6);
    const char *const marks[] = {"S", "w", "I", "x", "1", "2.5", "0", ".", "-"};
    auto label = [](int i) { return i % 5 == 3 ? "\"a" + std::to_string(i) + ", \"\"q\"\"\"" : "a" + std::to_string(i); };
    auto cell = [&]() -> std::string {
        if (static_cast<int>(rng() % 10) >= density) return "";
        return marks[rng() % 9];
    };
    std::string text;
    for (int j = 0; j < n; j++) text += "," + label(j);
    for (int q = 0; q < nq; q++) text += ",Constraint: c" + std::to_string(q);
    text += "\r\n";
    for (int i = 0; i < n + nr; i++) {
        text += i < n ? label(i) : "Output: o" + std::to_string(i - n);
        for (int j = 0; j < n + nq; j++) text += "," + cell();
        text += "\r\n";
    }
    return text;
}

TEST(CsvRoundTrip, RandomMatricesReadBackAsTheyWereOrdered) {
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < 200; trial++) {
        KAVELON first;
        read_csv_text(first, random_matrix(rng));
        const std::string dsm = dsm_of(first);
        KAVELON second;
        read_csv_text(second, dsm);
        expect_same_model(first, second, dsm);
        // Ordered already, the table is written back unchanged.
        ASSERT_EQ(dsm_of(second), dsm);
        // Saved again by a spreadsheet: CRLF, cells once touched to the
        // right of the table and empty lines below it.
        std::string saved;
        for (const char c : dsm) saved += c == '\n' ? std::string(",,\r\n") : std::string(1, c);
        saved += ",,,,,,\r\n\r\n";
        KAVELON third;
        read_csv_text(third, saved);
        expect_same_model(first, third, saved);
    }
}

TEST(CsvRoundTrip, NamelessOutputAndConstraint) {
    // The table writes "Output: " and "Constraint: " for them, which read
    // back with the blank trimmed off.
    KAVELON first;
    read_csv_text(first, ",a,b,Constraint:\na,,S,I\nb,W,,\nOutput:,,W,S\n");
    ASSERT_EQ(first.nR, 1);
    ASSERT_EQ(first.nQ, 1);
    EXPECT_STREQ(first.output_name[0], "");
    EXPECT_STREQ(first.constraint_name[0], "");
    const std::string dsm = dsm_of(first);
    KAVELON second;
    read_csv_text(second, dsm);
    expect_same_model(first, second, dsm);
}

TEST(CsvRoundTrip, BundledExample) {
    std::string path = __FILE__;
    path = path.substr(0, path.rfind("/tests/")) + "/examples/wing_design.xml";
    KAVELON first;
    kavelon_initialize(&first);
    first.xml_filename = xmlcopystring(path.c_str());
    ASSERT_EQ(kavelon_read_xml_file(&first), 0) << path;
    order(first);
    const std::string dsm = dsm_of(first);
    KAVELON second;
    read_csv_text(second, dsm);
    expect_same_model(first, second, dsm);
}

// The workbook of an ordered model, read back as input and ordered again.
void read_workbook_of(const KAVELON &first, KAVELON &second) {
    char name[] = "/tmp/kavelon-round-trip-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = std::string(name) + ".xlsx";
    std::remove(name);
    ASSERT_EQ(kavelon_write_xlsx(&first, path.c_str()), 0);
    kavelon_initialize(&second);
    FILE *in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    const int read = kavelon_read_xlsx_file(&second, in);
    std::fclose(in);
    std::remove(path.c_str());
    ASSERT_EQ(read, 0);
    order(second);
}

TEST(XlsxRoundTrip, RandomMatricesReadBackAsTheyWereOrdered) {
    std::mt19937 rng(20261209);
    for (int trial = 0; trial < 60; trial++) {
        KAVELON first;
        read_csv_text(first, random_matrix(rng));
        KAVELON second;
        read_workbook_of(first, second);
        const std::string dsm = dsm_of(first);
        expect_same_model(first, second, dsm);
        // The workbook's first sheet is the DSM table, cell for cell.
        ASSERT_EQ(dsm_of(second), dsm);
    }
}

TEST(XlsxRoundTrip, BundledExampleWithItsHeaderValues) {
    std::string path = __FILE__;
    path = path.substr(0, path.rfind("/tests/")) + "/examples/wing_design.xml";
    KAVELON first;
    kavelon_initialize(&first);
    first.xml_filename = xmlcopystring(path.c_str());
    ASSERT_EQ(kavelon_read_xml_file(&first), 0) << path;
    order(first);
    KAVELON second;
    read_workbook_of(first, second);
    expect_same_model(first, second, dsm_of(first));
    EXPECT_STREQ(second.name, first.name);
    EXPECT_STREQ(second.version, first.version);
    EXPECT_STREQ(second.version_date, first.version_date);
    EXPECT_STREQ(second.study_name, first.study_name);
    // The same through the DSM table.
    KAVELON third;
    read_csv_text(third, dsm_of(first));
    EXPECT_STREQ(third.name, first.name);
    EXPECT_STREQ(third.study_name, first.study_name);
}

}  // namespace
