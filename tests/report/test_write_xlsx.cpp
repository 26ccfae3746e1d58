// The workbook writer: its first sheet holds the very cells of the DSM
// table, its second the header values and the block list; the drawing
// (borders, highlights, frozen panes) is in the sheet's own XML; texts a
// workbook cannot hold are refused with a message, and so are models too
// large for a sheet.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "input/input.h"
#include "plan/plan.h"
#include "report/report_fixture.h"

using namespace report_test;

namespace {

// A fresh path for a workbook, removed when the test ends.
struct TempPath {
    std::string path;
    TempPath() {
        char name[] = "/tmp/kavelon-xlsx-XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        close(fd);
        path = std::string(name) + ".xlsx";
        std::remove(name);
    }
    ~TempPath() { std::remove(path.c_str()); }
};

std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The member of an archive, uncompressed; "" when it is not there.
std::string member(const std::string &bytes, const char *name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);
        return "";
    }
    std::string text;
    zip_file_t *file = zip_fopen(archive, name, 0);
    if (file != nullptr) {
        char buffer[4096];
        zip_int64_t got;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
        zip_fclose(file);
    }
    zip_discard(archive);
    return text;
}

// A sheet's cells as "B7=text" lines.
std::string sheet_cells(const std::string &bytes, const char *sheet) {
    KAVSHEET read;
    KAVSHEETERROR error;
    if (kavelon_read_xlsx_sheet(bytes.data(), bytes.size(), sheet, KAVELON_XLSX_MAX_PART_BYTES, &read, &error) != 0)
        return "error: " + error.what;
    std::string out;
    for (const KAVSHEETCELL &c : read.cells) out += kavelon_cell_reference(c.row, c.column) + "=" + c.text + "\n";
    return out;
}

// The cells of one sheet of dt's workbook, or "writer failed" when the
// writer refuses it.
std::string written_cells(const KAVELON *dt, const char *sheet) {
    TempPath file;
    if (kavelon_write_xlsx(dt, file.path.c_str()) != 0) return "writer failed";
    return sheet_cells(file_bytes(file.path), sheet);
}

// The same lines for a CSV table without quoted cells: every cell that is
// not empty, at its place.
std::string csv_cells(const std::string &csv) {
    std::string out;
    int32_t row = 0;
    std::istringstream lines(csv);
    for (std::string line; std::getline(lines, line); row++) {
        int32_t column = 0;
        size_t start = 0;
        for (;;) {
            const size_t comma = line.find(',', start);
            const std::string cell = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!cell.empty()) out += kavelon_cell_reference(row, column) + "=" + cell + "\n";
            if (comma == std::string::npos) break;
            start = comma + 1;
            column++;
        }
    }
    return out;
}

// Two blocks: a independent, then b, c, d coupled with a feedback mark of
// b on d; one constraint, one output.
void fill(Model &m) {
    m.activities = {
        {"Act A", "a", 1, 1, 0, "0000", "S"},
        {"Act B", "b", 2, 0, 1, "S00W", "0"},
        {"Act C", "c", 2, 0, 1, "0S00", "0"},
        {"Act D", "d", 2, 0, 1, "00SI", "I"},
    };
    m.constraints = {"limits"};
    m.outputs = {{"report", "0W0S", "W"}};
}

TEST(XlsxWriter, FirstSheetHoldsTheCellsOfTheDsmTable) {
    Model m;
    fill(m);
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath file;
    ASSERT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 0);
    const std::string bytes = file_bytes(file.path);
    const std::string dsm = test_util::written_by([&](FILE *out) { kavelon_write_dsm(dt, out); });
    EXPECT_EQ(sheet_cells(bytes, "DSM"), csv_cells(dsm));
    EXPECT_EQ(sheet_cells(bytes, nullptr), csv_cells(dsm));
    // Block numbers are numbers, not texts that look like them.
    const std::string sheet = member(bytes, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"G3\"><v>2</v></c>"), std::string::npos) << sheet;
}

// With a plan the Level column follows the predecessor block, as in the DSM
// table, and the constraint column moves one to the right.
TEST(XlsxWriter, PlanAddsTheLevelColumnOfTheDsmTable) {
    Model m;
    fill(m);
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    KAVPLAN plan;
    ASSERT_EQ(kavelon_make_plan(dt, nullptr, 1, KAVELON_WHATIF_NONE, false, &plan), 0);
    dt->block_plan = &plan;
    const std::string cells = written_cells(dt, "DSM");
    const std::string dsm = test_util::written_by([&](FILE *out) { kavelon_write_dsm(dt, out); });
    dt->block_plan = nullptr;
    EXPECT_EQ(cells, csv_cells(dsm));
    EXPECT_NE(cells.find("I1=Level\nJ1=Constraint: limits\n"), std::string::npos) << cells;
    EXPECT_NE(cells.find("G5=2\nH5=1\nI5=2\nJ5=I\n"), std::string::npos) << cells;
}

TEST(XlsxWriter, SecondSheetHoldsHeaderValuesAndBlocks) {
    Model m;
    fill(m);
    m.header[4] = nullptr;
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath file;
    ASSERT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 0);
    EXPECT_EQ(sheet_cells(file_bytes(file.path), "Process"),
              "A1=kavelon version\nB1=2.0\n"
              "A2=kavelon version date\nB2=Jun 26 2021\n"
              "A3=XML Input Filename\nB3=design.xml\n"
              "A4=Design Process Name\nB4=Wing study\n"
              "A5=Version Number\nB5=3\n"
              "A6=Version Date\nB6=2021-06-26\n"
              "A7=Study Name\n"
              "A9=Block\nB9=Predecessor block\nC9=Type\nD9=Activities\n"
              "A10=1\nB10=0\nC10=independent\nD10=1\n"
              "A11=2\nB11=1\nC11=dependent\nD11=3\n");
}

TEST(XlsxWriter, SequencedBlocksListTheirInputsToAssume) {
    Model m;
    fill(m);
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    BLOCKSEQ results[2] = {};
    results[1] = BLOCKSEQ{KAVELON_METHOD_EXACT, 1, 0, 0, 1, 0, 2, {0, 1, 2}, 0, 0};
    dt->sequence = KAVELON_SEQUENCE_INPUTS;
    dt->block_sequence = results;
    const std::string cells = written_cells(dt, "Process");
    dt->block_sequence = nullptr;
    EXPECT_NE(cells.find("A9=Block\nB9=Predecessor block\nC9=Type\nD9=Activities\nE9=Strong inputs to assume\n"
                         "F9=Weak/ICD inputs to assume\nG9=Feedback distance\nH9=Method\nI9=Optimal\n"
                         "A10=1\nB10=0\nC10=independent\nD10=1\nE10=0\nF10=0\nG10=0\nH10=exact\nI10=no\n"
                         "A11=2\nB11=1\nC11=dependent\nD11=3\nE11=0\nF11=1\nG11=2\nH11=exact\nI11=yes\n"
                         "A13=Block\nB13=Activity\nC13=Needs data\nD13=Kind\nE13=Distance\n"
                         "A14=2\nB14=Act B\nC14=d\nD14=weak\nE14=2\n"),
              std::string::npos)
        << cells;
    EXPECT_EQ(cells.find("A15="), std::string::npos) << cells;
}

// With a plan each block's row goes on to its level and every block it
// strongly depends on, as the text report's plan lists them.
TEST(XlsxWriter, PlanAddsLevelAndPredecessorsToTheBlockList) {
    Model m;
    m.activities = {
        {"Act A", "a", 1, 1, 0, "000", ""},
        {"Act B", "b", 2, 1, 1, "S00", ""},
        {"Act C", "c", 3, 1, 2, "SS0", ""},
    };
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    KAVPLAN plan;
    ASSERT_EQ(kavelon_make_plan(dt, nullptr, 1, KAVELON_WHATIF_NONE, false, &plan), 0);
    dt->block_plan = &plan;
    const std::string cells = written_cells(dt, "Process");
    dt->block_plan = nullptr;
    EXPECT_NE(cells.find("A9=Block\nB9=Predecessor block\nC9=Type\nD9=Activities\nE9=Level\nF9=Predecessors\n"
                         "A10=1\nB10=0\nC10=independent\nD10=1\nE10=1\nF10=none\n"
                         "A11=2\nB11=1\nC11=independent\nD11=1\nE11=2\nF11=1\n"
                         "A12=3\nB12=2\nC12=independent\nD12=1\nE12=3\nF12=1 2\n"),
              std::string::npos)
        << cells;
    EXPECT_EQ(cells.find("A13="), std::string::npos) << cells;

    // A list longer than a cell holds is cut, rather than the workbook lost.
    plan.predecessor.assign(20000, 1);
    plan.predecessor_first = {0, 0, 0, plan.predecessor.size()};
    dt->block_plan = &plan;
    const std::string long_cells = written_cells(dt, "Process");
    dt->block_plan = nullptr;
    std::string list = "1";
    for (int k = 1; k < 16365; k++) list += " 1";
    EXPECT_NE(long_cells.find("\nF12=" + list + " and 3635 more\n"), std::string::npos);
}

// The style index of a cell in the sheet's XML, or "" when it has none.
std::string style_of(const std::string &sheet, const std::string &cell) {
    std::smatch match;
    if (!std::regex_search(sheet, match, std::regex("<c r=\"" + cell + "\" s=\"([0-9]+)\"")))
        return "";
    return match[1];
}

TEST(XlsxWriter, BlocksFeedbackAndFrozenPanesAreDrawn) {
    Model m;
    fill(m);
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath file;
    ASSERT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 0);
    const std::string bytes = file_bytes(file.path);
    const std::string sheet = member(bytes, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\" activePane=\"bottomRight\" state=\"frozen\"/>"),
              std::string::npos)
        << sheet;
    // Block 2 covers C3:E5. Its corners and edges, empty or not, carry
    // their borders; the feedback mark E3 (b needs d) is set apart from
    // the mark C4 below the diagonal; the interior D4 is the diagonal.
    const std::string corner = style_of(sheet, "C3");
    const std::string top_right = style_of(sheet, "E3");
    const std::string left = style_of(sheet, "C4");
    const std::string bottom = style_of(sheet, "D5");
    const std::string diagonal = style_of(sheet, "D4");
    for (const std::string &s : {corner, top_right, left, bottom, diagonal}) EXPECT_FALSE(s.empty()) << sheet;
    EXPECT_NE(corner, top_right);
    EXPECT_NE(left, corner);
    EXPECT_NE(bottom, left);
    EXPECT_NE(diagonal, style_of(sheet, "C3"));
    // A mark outside every block, on a constraint, is plain.
    EXPECT_EQ(style_of(sheet, "I2"), style_of(sheet, "I5"));
    const std::string styles = member(bytes, "xl/styles.xml");
    EXPECT_NE(styles.find("FFFFC7CE"), std::string::npos);
    EXPECT_NE(styles.find("<left style=\"medium\">"), std::string::npos);
    EXPECT_NE(styles.find("<left style=\"thin\">"), std::string::npos);
}

TEST(XlsxWriter, SameModelSameBytes) {
    Model m;
    fill(m);
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath first;
    TempPath second;
    ASSERT_EQ(kavelon_write_xlsx(dt, first.path.c_str()), 0);
    sleep(1);
    ASSERT_EQ(kavelon_write_xlsx(dt, second.path.c_str()), 0);
    EXPECT_EQ(file_bytes(first.path), file_bytes(second.path));
}

TEST(XlsxWriter, TextsAWorkbookCannotHoldAreRefused) {
    for (const std::string &bad : {std::string("caf\xe9"), std::string("\xc0\xaf"), std::string("\xed\xa0\x80"),
                                   std::string(32768, 'n')}) {
        Model m;
        fill(m);
        m.activities[2].name = bad;
        KAVELON *dt = m.build();
        ASSERT_NE(dt, nullptr);
        TempPath file;
        std::string message;
        testing::internal::CaptureStderr();
        EXPECT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 1);
        message = testing::internal::GetCapturedStderr();
        const std::string expected = bad.size() > 100
                                         ? " *** ERROR: Unable to write file (" + file.path +
                                               "): a text longer than a cell holds (" + std::string(40, 'n') + "...)\n"
                                         : " *** ERROR: Unable to write file (" + file.path +
                                               "): a text that is not UTF-8 (" + bad + ")\n";
        EXPECT_EQ(message, expected);
    }
    // Control characters and the longest text a cell holds are kept.
    Model m;
    fill(m);
    m.activities[2].name = std::string("tab\there\x01\r _x0041_ _x00e9_ ") + std::string(32700, 'n');
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath file;
    ASSERT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 0);
    EXPECT_NE(sheet_cells(file_bytes(file.path), "DSM").find("F4=" + m.activities[2].name + "\n"), std::string::npos);
}

TEST(XlsxWriter, ModelsLargerThanASheetAreRefused) {
    Model m;
    fill(m);
    for (int k = 1; k < 16377; k++) m.constraints.push_back("c" + std::to_string(k));
    for (Activity &a : m.activities) a.q_row.resize(m.constraints.size(), '0');
    m.outputs[0].t_row.resize(m.constraints.size(), '0');
    KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    TempPath file;
    testing::internal::CaptureStderr();
    EXPECT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              " *** ERROR: Unable to write file (" + file.path +
                  "): 4 activities and 16377 constraints need 16385 columns, a worksheet has 16384\n");
    EXPECT_EQ(access(file.path.c_str(), F_OK), -1);
    // One constraint fewer fits.
    Model fits;
    fill(fits);
    for (int k = 1; k < 16376; k++) fits.constraints.push_back("c" + std::to_string(k));
    for (Activity &a : fits.activities) a.q_row.resize(fits.constraints.size(), '0');
    fits.outputs[0].t_row.resize(fits.constraints.size(), '0');
    dt = fits.build();
    ASSERT_NE(dt, nullptr);
    EXPECT_EQ(kavelon_write_xlsx(dt, file.path.c_str()), 0);
    EXPECT_NE(sheet_cells(file_bytes(file.path), "DSM").find("XFD1=Constraint: c16375\n"), std::string::npos);
}

}  // namespace
