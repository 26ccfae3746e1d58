#include <gtest/gtest.h>

#include "report_fixture.h"

using namespace report_test;

namespace {

const char *kFullHeader =
    "<kavelon>\n"
    "<kavelon_version>2.0</kavelon_version>\n"
    "<kavelon_version_date>Jun 26 2021</kavelon_version_date>\n"
    "<xml_filename>design.xml</xml_filename>\n"
    "<name>Wing study</name>\n"
    "<version>3</version>\n"
    "<version_date>2021-06-26</version_date>\n"
    "<study_name>Concept</study_name>\n"
    "<file_creation_time>Fri Feb 13 23:31:30 2009</file_creation_time>\n";

const char *kExampleBody =
    "<block>\n"
    "<block_number>1</block_number>\n"
    "<predecessor_block>0</predecessor_block>\n"
    "<block_type>independent</block_type>\n"
    "<design_activity>\n"
    "<name>A3</name>\n"
    "<data>D3</data>\n"
    "<weak>D1</weak>\n"
    "<icd>D2</icd>\n"
    "<strong>C1</strong>\n"
    "</design_activity>\n"
    "<block_size>1</block_size>\n"
    "</block>\n"
    "<block>\n"
    "<block_number>2</block_number>\n"
    "<predecessor_block>1</predecessor_block>\n"
    "<block_type>dependent</block_type>\n"
    "<design_activity>\n"
    "<name>A1</name>\n"
    "<data>D1</data>\n"
    "<strong>D3</strong>\n"
    "<strong>D2</strong>\n"
    "</design_activity>\n"
    "<design_activity>\n"
    "<name>A2</name>\n"
    "<data>D2</data>\n"
    "<weak>D3</weak>\n"
    "<strong>D1</strong>\n"
    "<weak>C1</weak>\n"
    "</design_activity>\n"
    "<block_size>2</block_size>\n"
    "</block>\n"
    "<output>\n"
    "<name>O1</name>\n"
    "<strong>D3</strong>\n"
    "<weak>C1</weak>\n"
    "</output>\n"
    "<constraint>\n"
    "<data>C1</data>\n"
    "</constraint>\n"
    "</kavelon>\n";

std::string xml(const KAVELON *dt, const char *stamp = kStamp) {
    return write_report(kavelon_write_xml_with_stamp, dt, stamp);
}

}  // namespace

TEST(XmlReport, ReproducesTheDocumentOfTheWorkedExample) {
    Model m = example_model();
    EXPECT_EQ(xml(m.build()), std::string(kFullHeader) + kExampleBody);
}

TEST(XmlReport, AbsentValuesAndUnknownTimeLeaveTheirElementsOut) {
    Model m = example_model();
    m.xml_filename = nullptr;
    m.name = nullptr;
    m.version = "";
    m.version_date = nullptr;
    m.study_name = nullptr;
    EXPECT_EQ(xml(m.build(), nullptr), std::string("<kavelon>\n"
                                                   "<kavelon_version>2.0</kavelon_version>\n"
                                                   "<kavelon_version_date>Jun 26 2021</kavelon_version_date>\n"
                                                   "<version></version>\n") +
                                           kExampleBody);
}

TEST(XmlReport, MarkupCharactersAreWrittenUnchanged) {
    Model m;
    m.name = "R&D <wing>";
    m.activities = {{"Loads & margins", "a>b", 1, 1, 0, "I", "W"}};
    m.constraints = {"&amp; x"};
    EXPECT_EQ(xml(m.build(), nullptr),
              "<kavelon>\n"
              "<kavelon_version>2.0</kavelon_version>\n"
              "<kavelon_version_date>Jun 26 2021</kavelon_version_date>\n"
              "<xml_filename>design.xml</xml_filename>\n"
              "<name>R&D <wing></name>\n"
              "<version>3</version>\n"
              "<version_date>2021-06-26</version_date>\n"
              "<study_name>Concept</study_name>\n"
              "<block>\n"
              "<block_number>1</block_number>\n"
              "<predecessor_block>0</predecessor_block>\n"
              "<block_type>independent</block_type>\n"
              "<design_activity>\n"
              "<name>Loads & margins</name>\n"
              "<data>a>b</data>\n"
              "<icd>a>b</icd>\n"
              "<weak>&amp; x</weak>\n"
              "</design_activity>\n"
              "<block_size>1</block_size>\n"
              "</block>\n"
              "<constraint>\n"
              "<data>&amp; x</data>\n"
              "</constraint>\n"
              "</kavelon>\n");
}

// Dependencies follow the columns, not their kind: activities in row order
// (the own column included), then constraints; an output names the data
// item of an activity column and the constraint of a constraint column.
TEST(XmlReport, DependenciesFollowTheColumnOrder) {
    Model m;
    m.activities = {{"p", "x", 1, 1, 0, "W00", "00"},
                    {"q", "y", 2, 0, 1, "WSS", "I0"},
                    {"r", "z", 2, 0, 1, "0S?", "0S"}};
    m.constraints = {"k0", "k1"};
    m.outputs = {{"out", "I0W", "0S"}};
    const std::string report = xml(m.build(), nullptr);
    const std::string header =
        "<kavelon>\n<kavelon_version>2.0</kavelon_version>\n"
        "<kavelon_version_date>Jun 26 2021</kavelon_version_date>\n"
        "<xml_filename>design.xml</xml_filename>\n<name>Wing study</name>\n<version>3</version>\n"
        "<version_date>2021-06-26</version_date>\n<study_name>Concept</study_name>\n";
    EXPECT_EQ(report, header +
                          "<block>\n<block_number>1</block_number>\n<predecessor_block>0</predecessor_block>\n"
                          "<block_type>independent</block_type>\n"
                          "<design_activity>\n<name>p</name>\n<data>x</data>\n<weak>x</weak>\n</design_activity>\n"
                          "<block_size>1</block_size>\n</block>\n"
                          "<block>\n<block_number>2</block_number>\n<predecessor_block>1</predecessor_block>\n"
                          "<block_type>dependent</block_type>\n"
                          "<design_activity>\n<name>q</name>\n<data>y</data>\n"
                          "<weak>x</weak>\n<strong>y</strong>\n<strong>z</strong>\n<icd>k0</icd>\n"
                          "</design_activity>\n"
                          "<design_activity>\n<name>r</name>\n<data>z</data>\n"
                          "<strong>y</strong>\n<strong>k1</strong>\n"
                          "</design_activity>\n"
                          "<block_size>2</block_size>\n</block>\n"
                          "<output>\n<name>out</name>\n<icd>x</icd>\n<weak>z</weak>\n<strong>k1</strong>\n"
                          "</output>\n"
                          "<constraint>\n<data>k0</data>\n</constraint>\n"
                          "<constraint>\n<data>k1</data>\n</constraint>\n"
                          "</kavelon>\n");
}

TEST(XmlReport, WithoutOutputsAndConstraintsTheLastBlockEndsTheDocument) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "000", ""},
                    {"b", "y", 1, 2, 0, "000", ""},
                    {"c", "z", 2, 1, 1, "0S0", ""}};
    const std::string report = xml(m.build());
    const std::string header = kFullHeader;
    EXPECT_EQ(report.substr(header.size()),
              "<block>\n<block_number>1</block_number>\n<predecessor_block>0</predecessor_block>\n"
              "<block_type>independent</block_type>\n"
              "<design_activity>\n<name>a</name>\n<data>x</data>\n</design_activity>\n"
              "<design_activity>\n<name>b</name>\n<data>y</data>\n</design_activity>\n"
              "<block_size>2</block_size>\n</block>\n"
              "<block>\n<block_number>2</block_number>\n<predecessor_block>1</predecessor_block>\n"
              "<block_type>independent</block_type>\n"
              "<design_activity>\n<name>c</name>\n<data>z</data>\n<strong>y</strong>\n</design_activity>\n"
              "<block_size>1</block_size>\n</block>\n"
              "</kavelon>\n");
}

TEST(XmlReport, LargeNumbersAndLongNamesAreWrittenWhole) {
    Model m;
    const std::string long_name(40, 'w');
    m.activities = {{long_name, long_name + "-data", 1000, 0, 999, "0", ""}};
    const std::string report = xml(m.build());
    EXPECT_NE(report.find("<block>\n<block_number>1000</block_number>\n<predecessor_block>999</predecessor_block>\n"
                          "<block_type>dependent</block_type>\n<design_activity>\n<name>" +
                          long_name + "</name>\n<data>" + long_name + "-data</data>\n"),
              std::string::npos);
}
