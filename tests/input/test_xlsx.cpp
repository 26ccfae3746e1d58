// The .xlsx sheet reader: workbooks written by other programs (the
// fixtures), and archives put together here to hold one fault each.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

// A zip archive of the given members, made in memory with libzip.
std::string make_zip(const Members &members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    EXPECT_NE(buffer, nullptr);
    zip_source_keep(buffer);
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto &member : members) {
        zip_source_t *data = zip_source_buffer(archive, member.second.data(), member.second.size(), 0);
        EXPECT_GE(zip_file_add(archive, member.first.c_str(), data, ZIP_FL_ENC_UTF_8), 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    zip_stat_t stat;
    EXPECT_EQ(zip_source_stat(buffer, &stat), 0);
    std::string bytes(stat.size, '\0');
    EXPECT_EQ(zip_source_open(buffer), 0);
    EXPECT_EQ(zip_source_read(buffer, &bytes[0], stat.size), static_cast<zip_int64_t>(stat.size));
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
}

const char *const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *const kPkg = "http://schemas.openxmlformats.org/package/2006/relationships";

std::string workbook(const std::vector<std::string> &sheets) {
    std::string xml = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>";
    for (size_t k = 0; k < sheets.size(); k++)
        xml += "<sheet name=\"" + sheets[k] + "\" sheetId=\"" + std::to_string(k + 1) + "\" r:id=\"rId" +
               std::to_string(k + 1) + "\"/>";
    return xml + "</sheets></workbook>";
}

std::string relationship(const std::string &id, const std::string &type, const std::string &target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "/" + type + "\" Target=\"" + target + "\"/>";
}

std::string relationships(const std::string &inner) {
    return std::string("<Relationships xmlns=\"") + kPkg + "\">" + inner + "</Relationships>";
}

std::string sheet_data(const std::string &rows) {
    return std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows + "</sheetData></worksheet>";
}

// A workbook of one sheet "S1" with the given sheet data and shared strings
// (none when empty), the rest as spreadsheets write it.
Members one_sheet(const std::string &rows, const std::string &shared = std::string()) {
    std::string rels = relationship("rId1", "worksheet", "worksheets/sheet1.xml");
    Members members = {{"xl/workbook.xml", workbook({"S1"})},
                       {"xl/worksheets/sheet1.xml", sheet_data(rows)}};
    if (!shared.empty()) {
        rels += relationship("rId2", "sharedStrings", "sharedStrings.xml");
        members.push_back({"xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\">" + shared + "</sst>"});
    }
    members.push_back({"xl/_rels/workbook.xml.rels", relationships(rels)});
    return members;
}

struct Result {
    int status;
    KAVSHEET sheet;
    KAVSHEETERROR error;
};

Result read_bytes(const std::string &bytes, const char *sheet = nullptr,
                  size_t limit = KAVELON_XLSX_MAX_PART_BYTES) {
    Result r;
    r.status = kavelon_read_xlsx_sheet(bytes.data(), bytes.size(), sheet, limit, &r.sheet, &r.error);
    return r;
}

Result read_members(const Members &members, const char *sheet = nullptr) { return read_bytes(make_zip(members), sheet); }

std::string fixture(const char *name) {
    std::ifstream in(std::string(KAVELON_TEST_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The cells as "B7=text" lines, the way the expectations are written.
std::string listed(const KAVSHEET &sheet) {
    std::string out;
    for (const KAVSHEETCELL &c : sheet.cells) out += kavelon_cell_reference(c.row, c.column) + "=" + c.text + "\n";
    return out;
}

// The fault as a message would place it.
std::string placed(const Result &r) {
    std::string at = r.error.sheet ? "(" + r.sheet.name + ")" : "-";
    if (r.error.row >= 0) at += " " + kavelon_cell_reference(r.error.row, r.error.column);
    return at + ": " + r.error.what;
}

const char *const kConcept =
    "B1=requirements\nC1=geometry\nD1=weight\nE1=loads\nF1=cost\n"
    "A2=requirements\n"
    "A3=geometry\nB3=X\nD3=x\n"
    "A4=weight\nC4=X\nE4=X\n"
    "A5=loads\nC5=X\n"
    "A6=cost\nC6=1\nD6=W\n";

TEST(XlsxFixtures, SharedStringsAndNumbersAsASpreadsheetSavesThem) {
    const Result r = read_bytes(fixture("concept_plain.xlsx"));
    ASSERT_EQ(r.status, 0) << r.error.what;
    EXPECT_EQ(r.sheet.name, "Sheet1");
    EXPECT_EQ(listed(r.sheet), kConcept);
}

TEST(XlsxFixtures, FirstSheetByDefaultAnotherByName) {
    const std::string bytes = fixture("concept_title_notes.xlsx");
    const Result first = read_bytes(bytes);
    ASSERT_EQ(first.status, 0) << first.error.what;
    EXPECT_EQ(first.sheet.name, "DSM");
    // Rich-text runs joined, the phonetic guide left out; the matrix two
    // rows down, with the notes column after it.
    ASSERT_FALSE(first.sheet.cells.empty());
    EXPECT_EQ(listed(first.sheet).substr(0, 21), "A1=Concept study DSM\n");
    EXPECT_NE(listed(first.sheet).find("G3=Notes\n"), std::string::npos);
    EXPECT_NE(listed(first.sheet).find("A6=weight\nC6=X\nE6=X\nG6=estimate, to be checked\n"), std::string::npos);
    const Result notes = read_bytes(bytes, "Notes");
    ASSERT_EQ(notes.status, 0) << notes.error.what;
    EXPECT_EQ(notes.sheet.name, "Notes");
    EXPECT_EQ(listed(notes.sheet), "A1=Reviewed by\nB1=J. Smith\n");
}

TEST(XlsxFixtures, InlineStringsPrefixesAndEveryKindOfValue) {
    const Result r = read_bytes(fixture("inline_strings.xlsx"));
    ASSERT_EQ(r.status, 0) << r.error.what;
    EXPECT_EQ(r.sheet.name, "Values");
    // Cells and rows without references follow each other; the styled
    // empty cell B2 is not there.
    EXPECT_EQ(listed(r.sheet),
              "A1=corner\nB1=a\nC1=b\nD1=c\n"
              "A2=a\nC2=0.05\nD2=2.5\n"
              "A3=b\nB3=TRUE\nC3=FALSE\nD3=a!\n"
              "A4=c\nB4=#N/A\nC4=  spaced  \nD4=rich\n");
}

TEST(XlsxFixtures, WorkbookFoundThroughThePackageAndAbsoluteTargets) {
    const std::string bytes = fixture("second_sheet.xlsx");
    const Result cover = read_bytes(bytes);
    ASSERT_EQ(cover.status, 0) << cover.error.what;
    EXPECT_EQ(cover.sheet.name, "Cover");
    EXPECT_EQ(listed(cover.sheet), "A1=Wing study\nA3=see the sheet Matrix\n");
    const Result matrix = read_bytes(bytes, "Matrix");
    ASSERT_EQ(matrix.status, 0) << matrix.error.what;
    EXPECT_EQ(listed(matrix.sheet), kConcept);
    // Sheet names are exact bytes.
    const Result other_case = read_bytes(bytes, "matrix");
    EXPECT_EQ(other_case.status, 1);
    EXPECT_EQ(placed(other_case), "-: no sheet (matrix); the workbook has (Cover) (Matrix)");
}

TEST(XlsxContainer, BytesThatAreNoWorkbook) {
    for (const std::string &bytes :
         {std::string(), std::string("a,b\n1,2\n"), std::string("PK\x03\x04 truncated", 15),
          fixture("concept_plain.xlsx").substr(0, 300)}) {
        const Result r = read_bytes(bytes);
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(r.error.sheet);
        EXPECT_EQ(r.error.row, -1);
        EXPECT_EQ(r.error.what.rfind("not an .xlsx workbook (", 0), 0u) << r.error.what;
    }
    const Result no_workbook = read_members({{"word/document.xml", "<document/>"}});
    EXPECT_EQ(placed(no_workbook), "-: no workbook part (xl/workbook.xml); not an .xlsx workbook");
}

TEST(XlsxContainer, SheetsAndTheirParts) {
    Members members = one_sheet("");
    members[0].second = workbook({});
    EXPECT_EQ(placed(read_members(members)), "-: the workbook lists no sheet");

    members = one_sheet("");
    members.back().second = relationships(relationship("rId7", "worksheet", "worksheets/sheet1.xml"));
    EXPECT_EQ(placed(read_members(members)), "(S1): the workbook gives no part for the sheet");

    members = one_sheet("");
    members.back().second = relationships(relationship("rId1", "chartsheet", "chartsheets/sheet1.xml"));
    EXPECT_EQ(placed(read_members(members)), "(S1): not a worksheet (a chart or dialog sheet); no cells to read");

    members = one_sheet("");
    members.back().second = relationships(relationship("rId1", "worksheet", "worksheets/sheet9.xml"));
    EXPECT_EQ(placed(read_members(members)), "(S1): its part (xl/worksheets/sheet9.xml) is missing from the archive");

    // Part names in another case, and a target that climbs out of xl/ and back.
    members = one_sheet("<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>");
    members[1].first = "XL/Worksheets/Sheet1.XML";
    members.back().second = relationships(relationship("rId1", "worksheet", "../xl/./worksheets/sheet1.xml"));
    const Result found = read_members(members);
    ASSERT_EQ(found.status, 0) << found.error.what;
    EXPECT_EQ(listed(found.sheet), "A1=7\n");
}

TEST(XlsxCells, SharedStringIndexesThatDoNotExist) {
    const std::string shared = "<si><t>a</t></si><si><t>b</t></si>";
    const Result good = read_members(one_sheet("<row r=\"3\"><c r=\"C3\" t=\"s\"><v>1</v></c></row>", shared));
    ASSERT_EQ(good.status, 0) << good.error.what;
    EXPECT_EQ(listed(good.sheet), "C3=b\n");
    EXPECT_EQ(placed(read_members(one_sheet("<row r=\"3\"><c r=\"C3\" t=\"s\"><v>2</v></c></row>", shared))),
              "(S1) C3: shared string (2) does not exist, the workbook has 2");
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"B1\" t=\"s\"><v>-1</v></c></row>", shared))),
              "(S1) B1: shared string (-1) does not exist, the workbook has 2");
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"B1\" t=\"s\"><v>99999999999999999999</v></c></row>", shared))),
              "(S1) B1: shared string (99999999999999999999) does not exist, the workbook has 2");
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"B1\" t=\"s\"><v>0</v></c></row>"))),
              "(S1) B1: shared string (0) does not exist, the workbook has 0");
}

// Characters XML cannot carry come as "_xHHHH_" UTF-16 units, in shared
// strings, inline strings and formula results alike; an underscore that
// would start such a form is written "_x005F_".
TEST(XlsxCells, EscapedCharacters) {
    const std::string shared = "<si><t>a_x0001_b_x000D__x005F_x0041_</t></si><si><r><t>_xD83D_</t></r><r><t>_xDE00_</t></r></si>";
    const Result r = read_members(one_sheet(
        "<row><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>_x00e9_ _xD800_ _x0000_ _x12_ _x00411_</t></is></c>"
        "<c r=\"D1\" t=\"str\"><f>X</f><v>_x0009_</v></c><c r=\"E1\"><v>_x0031_</v></c></row>",
        shared));
    ASSERT_EQ(r.status, 0) << r.error.what;
    EXPECT_EQ(listed(r.sheet),
              "A1=a\x01" "b\r_x0041_\nB1=\xF0\x9F\x98\x80\nC1=\xC3\xA9 _xD800_ _x0000_ _x12_ _x00411_\nD1=\t\nE1=_x0031_\n");
}

TEST(XlsxCells, ReferencesBeyondTheSheet) {
    const Result last = read_members(one_sheet("<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>"));
    ASSERT_EQ(last.status, 0) << last.error.what;
    EXPECT_EQ(listed(last.sheet), "XFD1048576=1\n");
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"XFE1\"><v>1</v></c></row>"))),
              "(S1): part (xl/worksheets/sheet1.xml) cell reference (XFE1) beyond the sheet's columns A to XFD, "
              "rows 1 to 1048576");
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"A0\"><v>1</v></c></row>"))),
              "(S1): part (xl/worksheets/sheet1.xml) cell reference (A0) beyond the sheet's columns A to XFD, "
              "rows 1 to 1048576");
    EXPECT_EQ(placed(read_members(one_sheet("<row r=\"1048577\"/>"))),
              "(S1): part (xl/worksheets/sheet1.xml) row number (1048577) beyond the sheet's rows 1 to 1048576");
    // A cell without a reference after the last column.
    EXPECT_EQ(placed(read_members(one_sheet("<row r=\"2\"><c r=\"XFD2\"><v>1</v></c><c><v>2</v></c></row>"))),
              "(S1) XFE2: cell beyond the sheet's last column XFD");
}

TEST(XlsxCells, OrderAndCellsGivenTwice) {
    const Result sorted = read_members(one_sheet(
        "<row r=\"2\"><c r=\"B2\"><v>3</v></c><c r=\"A2\"><v>2</v></c></row><row r=\"1\"><c r=\"C1\"><v>1</v></c></row>"));
    ASSERT_EQ(sorted.status, 0) << sorted.error.what;
    EXPECT_EQ(listed(sorted.sheet), "C1=1\nA2=2\nB2=3\n");
    EXPECT_EQ(placed(read_members(one_sheet("<row r=\"4\"><c r=\"D4\"><v>1</v></c><c r=\"D4\"><v>2</v></c></row>"))),
              "(S1) D4: cell given twice");
}

TEST(XlsxXml, MalformedPartsAndDocumentTypes) {
    EXPECT_EQ(placed(read_members(one_sheet("<row><c r=\"A1\"><v>1</v></row>"))),
              "(S1): part (xl/worksheets/sheet1.xml) is not well-formed XML: line 1: mismatched tag");
    Members bomb = one_sheet("");
    bomb[1].second = "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>" +
                     sheet_data("<row><c r=\"A1\" t=\"inlineStr\"><is><t>&b;&b;&b;</t></is></c></row>");
    EXPECT_EQ(placed(read_members(bomb)), "(S1): part (xl/worksheets/sheet1.xml) holds a document type declaration");
    Members bad_workbook = one_sheet("");
    bad_workbook[0].second = "<workbook><sheets>";
    EXPECT_EQ(placed(read_members(bad_workbook)), "-: part (xl/workbook.xml) is not well-formed XML: line 1: no element found");
}

TEST(XlsxXml, PartsLargerThanTheLimitAreNotRead) {
    // Blanks inflate a small archive into a large part.
    const std::string rows = std::string(1 << 20, ' ') + "<row><c r=\"A1\"><v>1</v></c></row>";
    const std::string bytes = make_zip(one_sheet(rows));
    EXPECT_LT(bytes.size(), size_t{1} << 16);
    const Result refused = read_bytes(bytes, nullptr, size_t{1} << 20);
    EXPECT_EQ(placed(refused), "(S1): part (xl/worksheets/sheet1.xml) is larger than 1 MiB uncompressed; not read");
    const Result read = read_bytes(bytes, nullptr, size_t{2} << 20);
    ASSERT_EQ(read.status, 0) << read.error.what;
    EXPECT_EQ(listed(read.sheet), "A1=1\n");
}

TEST(XlsxReferences, FormattedAndParsedBackForEveryColumn) {
    for (int32_t column = 0; column < KAVELON_XLSX_MAX_COLUMNS; column++) {
        const std::string text = kavelon_cell_reference(column * 64, column);
        int32_t row = -1;
        int32_t back = -1;
        ASSERT_TRUE(kavelon_parse_cell_reference(text.c_str(), &row, &back)) << text;
        ASSERT_EQ(back, column) << text;
        ASSERT_EQ(row, column * 64) << text;
    }
    EXPECT_EQ(kavelon_cell_reference(0, 0), "A1");
    EXPECT_EQ(kavelon_cell_reference(6, 1), "B7");
    EXPECT_EQ(kavelon_cell_reference(0, 25), "Z1");
    EXPECT_EQ(kavelon_cell_reference(0, 26), "AA1");
    EXPECT_EQ(kavelon_cell_reference(0, 701), "ZZ1");
    EXPECT_EQ(kavelon_cell_reference(0, 702), "AAA1");
    int32_t row = 0;
    int32_t column = 0;
    EXPECT_TRUE(kavelon_parse_cell_reference("xfd1048576", &row, &column));
    EXPECT_EQ(row, 1048575);
    EXPECT_EQ(column, 16383);
    for (const char *bad : {"", "A", "7", "A0", "XFE1", "AAAA1", "A1048577", "1A", "A1B", "$A$1", "A-1", "A 1"})
        EXPECT_FALSE(kavelon_parse_cell_reference(bad, &row, &column)) << bad;
}

}  // namespace
