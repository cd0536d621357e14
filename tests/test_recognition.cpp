// Recognising program files and reading their headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "translate/recognition.h"

namespace retracer {
namespace {

constexpr const char* kEvProgram =
    "$=Side panel\r\n::UNm DL=800 DH=600 DS=18\r\n::SIDE=1;\r\nVARV{\r\n#0=100|width\r\n"
    "#1 = 50|depth\r\n}VARV\r\nVAR{\r\n#5=L/2|w|half length\r\n#6=7|not marked\r\n"
    "#12=500|w|Shelf height\r\n}VAR\r\nSIDE#1{\r\nW#81{ #1=r5 #2=50 #3=-10 }\r\n}SIDE\r\n";

std::string WithLineEnds(std::string text, const std::string& eol) {
    for (std::size_t i = 0; (i = text.find("\r\n", i)) != std::string::npos; i += eol.size())
        text.replace(i, 2, eol);
    return text;
}

TEST(Recognition, GenesisFirstLineGivesUnitsAndSize) {
    struct Case {
        const char* firstLine;
        Dialect dialect;
        bool metric;
    };
    const Case cases[] = {
        {"G71 X600 Y400 Z18", Dialect::kGenesis, true},
        {"G70 X23.5 Y12 Z0.75", Dialect::kGenesis, false},
        {"G90 X600 Y400 Z18", Dialect::kNone, true},
        {"", Dialect::kNone, true},
    };
    for (const Case& c : cases) {
        ProgramHeader header;
        Recognition r = RecognizeProgramText(std::string(c.firstLine) + "\n(Door left)\nG1 X0\n", 0,
                                             false, header);
        EXPECT_EQ(header.dialect, c.dialect) << c.firstLine;
        EXPECT_EQ(r.recognized, c.dialect != Dialect::kNone) << c.firstLine;
        if (c.dialect == Dialect::kNone) {
            EXPECT_EQ(r.labDim, "Not a Proper Program File");
            continue;
        }
        EXPECT_EQ(header.metricUnits, c.metric);
        EXPECT_EQ(header.programComment, "Door left");
        EXPECT_EQ(r.framePD, "Program data   (Genesis)");
    }
    ProgramHeader header;
    RecognizeProgramText("G71 X600 Y400 Z18\n", 0, false, header);
    EXPECT_EQ(PartSizeCaption(header), "Metric     L 600    H 400    T 18");
}

TEST(Recognition, GenesisEvHeaderVariablesAndComment) {
    ProgramHeader header;
    Recognition r = RecognizeProgramText(kEvProgram, 0, false, header);
    ASSERT_TRUE(r.recognized);
    EXPECT_EQ(header.dialect, Dialect::kGenesisEv);
    EXPECT_EQ(PartSizeCaption(header), "Metric     L 800    H 600    T 18");
    EXPECT_EQ(r.framePD, "Program data   (Genesis Ev)");
    ASSERT_EQ(r.vVars.size(), 2u);
    EXPECT_EQ(r.vVars[0], std::make_pair(std::string("V0"), std::string("100")));
    EXPECT_EQ(header.vVarSummary, "V0=100 | V1=50");
    // Only the lines marked |w| count.
    ASSERT_EQ(r.rVarLines.size(), 2u);
    EXPECT_EQ(r.rVarLines[0], "#5=L/2|w|half length");
    EXPECT_EQ(header.rVarSummary, "R5=L/2 \u00A6 R12=500");
    EXPECT_EQ(header.rVarNotes, "w|half length\u00A6w|Shelf height\u00A6");
    EXPECT_EQ(r.programText.substr(0, 13), "$=Side panel\n");

    // With all variables asked for, every R line counts.
    EXPECT_EQ(RecognizeProgramText(kEvProgram, 1, false, header).rVarLines.size(), 3u);
    EXPECT_EQ(header.rVarSummary, "R5=L/2 \u00A6 R6=7 \u00A6 R12=500");
}

TEST(Recognition, LineEndsAndEncodingDoNotChangeTheHeader) {
    ProgramHeader crlf;
    Recognition expected = RecognizeProgramText(kEvProgram, 0, false, crlf);
    for (const std::string eol : {"\n", "\r"}) {
        ProgramHeader other;
        Recognition r = RecognizeProgramText(WithLineEnds(kEvProgram, eol), 0, false, other);
        EXPECT_EQ(other.partLength, crlf.partLength);
        EXPECT_EQ(other.programComment, crlf.programComment);
        EXPECT_EQ(other.vVarSummary, crlf.vVarSummary);
        EXPECT_EQ(other.rVarSummary, crlf.rVarSummary);
        EXPECT_EQ(other.rVarNotes, crlf.rVarNotes);
        EXPECT_EQ(r.programText, expected.programText);
    }
    // The same program saved as UTF-16 little endian.
    const auto folder = std::filesystem::temp_directory_path() / "retracer_recognition_utf16";
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / "PANEL.PGM", std::ios::binary);
        out.put('\xFF').put('\xFE');
        for (const char* p = kEvProgram; *p != '\0'; ++p) out.put(*p).put('\0');
    }
    ProgramHeader utf16;
    Recognition r = RecognizeProgram(folder / "PANEL.PGM", 0, false, utf16);
    EXPECT_TRUE(r.recognized);
    EXPECT_EQ(utf16.rVarSummary, crlf.rVarSummary);
    EXPECT_EQ(utf16.partWidth, 600);
    std::filesystem::remove_all(folder);
}

// Read from a file, a program is recognised as from its text; one with a line no program has is
// recognised all the same (its head read from the start of that line), but its text is kept
// only up to there, with a note saying why, so the job reads and refuses the file.
TEST(Recognition, FileWithALineOverTheLimitKeepsItsHeadAndNotItsText) {
    const auto folder = std::filesystem::temp_directory_path() / "retracer_recognition_long";
    std::filesystem::create_directories(folder);
    const std::string tooLong(TextFileLines::kMaxLineBytes + 1, '7');
    struct Case {
        const char* name;
        std::string text;
        bool whole;
        const char* note;
        double length;
    };
    const Case cases[] = {
        {"plain", kEvProgram, true, "", 800},
        {"long comment", std::string(kEvProgram) + "'" + tooLong + "\r\nW#81{ }\r\n", false,
         "(line 16 is longer than 1 MB: the program cannot be translated)", 800},
        {"long first line", "G71 X1200 Y300 Z18 " + tooLong + "\n(P)\nG1 X1\n", false,
         "(line 1 is longer than 1 MB", 1200},
    };
    for (const Case& c : cases) {
        std::ofstream(folder / "P.PGM", std::ios::binary | std::ios::trunc) << c.text;
        ProgramHeader header;
        const Recognition r = RecognizeProgram(folder / "P.PGM", 0, false, header);
        ASSERT_TRUE(r.recognized) << c.name;
        EXPECT_EQ(header.partLength, c.length) << c.name;
        EXPECT_EQ(r.wholeText, c.whole) << c.name;
        EXPECT_EQ(r.listNote.rfind(c.note, 0), 0u) << c.name << ": " << r.listNote;
        if (c.whole) {
            ProgramHeader fromText;
            EXPECT_EQ(r.programText, RecognizeProgramText(c.text, 0, false, fromText).programText);
        }
        EXPECT_LT(r.programText.size(), c.text.size()) << c.name << ": not the whole text";
    }
    std::filesystem::remove_all(folder);
}

TEST(Recognition, HeadRules) {
    ProgramHeader header;
    // The marker in lower case still counts; "::UNm" in another case means inch.
    Recognition r = RecognizeProgramText("$\n::unM DL=10 DH=20 DS=3\n::side=1\n", 0, false, header);
    EXPECT_TRUE(r.recognized);
    EXPECT_FALSE(header.metricUnits);
    EXPECT_EQ(header.unitsText, "Inch    ");
    // Beyond the first 1501 characters of the head the marker is not seen.
    std::string late = "first line\n" + std::string(1495, 'x') + "\n::SIDE=1\n";
    EXPECT_FALSE(RecognizeProgramText(late, 0, false, header).recognized);
    std::string early = "first line\n" + std::string(1480, 'x') + "\n::SIDE=1\n";
    EXPECT_TRUE(RecognizeProgramText(early, 0, false, header).recognized);
    // A first "$" at character 50 or later gives no comment.
    std::string far = "first\n" + std::string(49, 'y') + "$=Comment\n::SIDE=1\n";
    RecognizeProgramText(far, 0, false, header);
    EXPECT_EQ(header.programComment, "");
    std::string near = "first\n" + std::string(48, 'y') + "$=Comment\n::SIDE=1\n";
    RecognizeProgramText(near, 0, false, header);
    EXPECT_EQ(header.programComment, "Comment");
}

TEST(Recognition, DimensionsFromTheJobStay) {
    ProgramHeader header;
    header.partLength = 1234;
    header.partWidth = 567;
    header.partThickness = 19;
    Recognition r = RecognizeProgramText(kEvProgram, 0, true, header);
    EXPECT_EQ(header.partLength, 1234);
    EXPECT_EQ(r.labDim, "Metric     L 1234    H 567    T 19");
}

TEST(Recognition, MissingFileAndOddValues) {
    ProgramHeader header;
    EXPECT_TRUE(RecognizeProgram("/no/such/file.pgm", 0, false, header).fileMissing);
    EXPECT_TRUE(RecognizeProgram("", 0, false, header).fileMissing);
    // Dimensions that are no numbers read 0; a V line without "|" is kept whole.
    Recognition r =
        RecognizeProgramText("x\n::UNm DL=abc\n::SIDE=1\nVARV{\n#3=7\n}VARV\n", 0, false, header);
    EXPECT_TRUE(r.recognized);
    EXPECT_EQ(header.partLength, 0);
    ASSERT_EQ(r.vVars.size(), 1u);
    EXPECT_EQ(r.vVars[0].second, "7");
}

TEST(RVarLine, SplitsIntoNameValueDescription) {
    std::string line = "#12=500|Shelf height";
    RVarEntry e = SplitRVarLine(line);
    EXPECT_EQ(e.name, "R12");
    EXPECT_EQ(e.value, "500");
    EXPECT_EQ(e.description, "Shelf height");
    EXPECT_EQ(line, "R12=500");
}

TEST(FileLookup, FindsFilesIgnoringCase) {
    const auto folder = std::filesystem::temp_directory_path() / "retracer_lookup_case";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Shelf.PGM") << "x";
    EXPECT_EQ(FindFileIgnoringCase(folder / "SHELF.pgm"), folder / "Shelf.PGM");
    EXPECT_EQ(FindFileIgnoringCase(folder / "Shelf.PGM"), folder / "Shelf.PGM");
    EXPECT_EQ(FindFileIgnoringCase(folder / "other.pgm"), folder / "other.pgm");
    EXPECT_EQ(FindFileIgnoringCase(folder / "none" / "x.pgm"), folder / "none" / "x.pgm");
    std::filesystem::remove_all(folder);
#ifndef _WIN32
    EXPECT_EQ(PathFromText("C:\\jobs\\A.PGM").string(), "C:/jobs/A.PGM");
#endif
}

}  // namespace
}  // namespace retracer
