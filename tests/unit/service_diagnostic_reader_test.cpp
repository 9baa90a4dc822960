// The diagnostic reader on a pseudo-terminal: what each read hands on, what the end of the run
// adds, and what the recording holds then.

#include "service/diagnostic_reader.h"
#include "support/memory_ports.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace k64::service {
namespace {

using namespace std::chrono_literals;

// Events as one text: a line as it came, an axis as "X=1"; a space between them.
std::string Shown(const DiagnosticChunk& chunk)
{
    std::string text;
    for (const DiagnosticEvent& e : chunk.events)
        text += (text.empty() ? "" : " ") + (e.kind == DiagnosticEvent::Kind::Line
                                                 ? e.line
                                                 : "XYZ"[e.axis] + ("=" + std::to_string(e.value)));
    return text;
}

struct ReadCase {
    const char* name;
    std::vector<std::string> parts;  // one read each
    std::vector<std::string> shown;  // what each read handed on
    std::string finished;            // what Finish() handed on
    std::string recorded;            // the recording's rows without their time, '|' between
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class DiagnosticReaderReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DiagnosticReaderReads, HandsOnAndRecords)
{
    const ReadCase& c = GetParam();
    test::TempDir dir;
    test::PtyPair unit;
    test::MemoryPortStore store{unit.SlavePath()};
    test::ListPortCatalog catalog;
    TDevice device{store, catalog};
    ASSERT_EQ(device.EnableDiagnosticMode(), kSent);
    DiagnosticReader reader;
    reader.Start(std::make_unique<DiagnosticRecording>(AppendFile::Create(dir / "r.csv")));
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
        unit.Send(test::Bytes(c.parts[i].begin(), c.parts[i].end()));
        // The whole part first, so that each read sees one part.
        const int size = static_cast<int>(c.parts[i].size());
        for (int wait = 0; wait < 500 && device.InputStream().Available() < size; ++wait)
            std::this_thread::sleep_for(10ms);
        const DiagnosticChunk chunk = reader.Read(device, 1s);
        EXPECT_TRUE(chunk.received);
        EXPECT_EQ(Shown(chunk), c.shown[i]) << "read " << i;
    }
    EXPECT_EQ(Shown(reader.Finish()), c.finished);
    EXPECT_EQ(reader.Recording(), nullptr);

    std::ifstream in(dir / "r.csv", std::ios::binary);
    std::string rows;
    for (std::string row; std::getline(in, row);)
        rows += (rows.empty() ? "" : "|") + row.substr(row.find(',') + 1);
    EXPECT_EQ(rows, "tag,x,y,z,text\r" + c.recorded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagnosticReaderReads,
    ::testing::Values(ReadCase{"LinesCutBetweenReadsJoined",
                               {"$VS:12.", "4\r\n$AccD:1,", "2,3\r\n"},
                               {"", "$VS:12.4", "X=1 Y=2 Z=3"},
                               "",
                               "|$VS:,,,,12.4\r|$AccD:,1,2,3,\r"},
                      ReadCase{
                          "LineCutByTheEndCounts",
                          {"$Can:1,0x0C4\r\n$AccE:\xCE\xCA \"1\"\r\n$AccD:7,8"},
                          {"$Can:1,0x0C4 $AccE:\xCE\xCA \"1\""},
                          "X=7 Y=8",
                          "|$Can:,,,,\"1,0x0C4\"\r|$AccE:,,,,\"ОК \"\"1\"\"\"\r|$AccD:,7,8,,\r"}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

}  // namespace
}  // namespace k64::service
