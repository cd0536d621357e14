// Atomic file replacement and the sectioned settings-file reader and writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "settings/atomic_file.h"
#include "settings/ini_file.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#endif

namespace fs = std::filesystem;
using retracer::IniFile;
using retracer::IniOptions;
using retracer::ReadWholeFile;
using retracer::WriteFileAtomically;

namespace {

// A fresh, empty folder per test, removed with everything in it afterwards.
class FileTestFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("retracer-settings-" + std::to_string(random()) +
                                               "-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }

    static void Put(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << path;
    }
    static std::string Get(const fs::path& path) {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr)) << path;
        return bytes;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Whether this user can create files in a folder without write permission (root can).
    bool PermissionsIgnored(const fs::path& readOnlyFolder) const {
        const fs::path probe = readOnlyFolder / "probe";
        std::ofstream out(probe);
        const bool created = out.good();
        out.close();
        std::error_code ec;
        fs::remove(probe, ec);
        return created;
    }

    fs::path folder_;
};

#ifndef _WIN32
// Makes every write past `bytes` fail with EFBIG for the lifetime of the object, so that a
// write can be broken off half way whatever the user's privileges.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};
#endif

std::string Eol() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

// ---------------------------------------------------------------------------------------------
// WriteFileAtomically / ReadWholeFile

using AtomicFileTest = FileTestFolder;

TEST_F(AtomicFileTest, CreatesTheFileWithExactBytesAndLeavesNothingElse) {
    const std::string bytes("line\r\nbinary\0zero\xFF\n", 19);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(folder_ / "out.dxf", bytes, &error)) << error;
    EXPECT_EQ(Get(folder_ / "out.dxf"), bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.dxf"});
}

#ifndef _WIN32
TEST_F(AtomicFileTest, ALinkStaysALinkAndItsTargetIsReplaced) {
    fs::create_directory(folder_ / "real");
    ASSERT_TRUE(WriteFileAtomically(folder_ / "real" / "Rtrc.INI", "old", nullptr));
    fs::create_symlink(folder_ / "real" / "Rtrc.INI", folder_ / "link.ini");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(folder_ / "link.ini", "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.ini"));
    EXPECT_EQ(Get(folder_ / "real" / "Rtrc.INI"), "new");
}
#endif

TEST_F(AtomicFileTest, MissingFolderFailsWithMessageAndCreatesNothing) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder_ / "no" / "such" / "x.ini", "a", &error));
    EXPECT_NE(error.find("x.ini"), std::string::npos) << error;
    EXPECT_TRUE(Names().empty());
    EXPECT_FALSE(WriteFileAtomically(folder_ / "", "a", nullptr));  // a folder, not a file name
}

TEST_F(AtomicFileTest, TargetThatIsAFolderStaysAndNoTemporaryIsLeft) {
    fs::create_directory(folder_ / "busy");
    Put(folder_ / "busy" / "inside.txt", "keep");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder_ / "busy", "new", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Names(), std::vector<std::string>{"busy"});
    EXPECT_EQ(Get(folder_ / "busy" / "inside.txt"), "keep");
}

#ifndef _WIN32
TEST_F(AtomicFileTest, KeepsThePermissionsOfTheFileItReplaces) {
    Put(folder_ / "Rtrc.INI", "old");
    fs::permissions(folder_ / "Rtrc.INI",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteFileAtomically(folder_ / "Rtrc.INI", "new", nullptr));
    EXPECT_EQ(fs::status(folder_ / "Rtrc.INI").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(AtomicFileTest, WriteBrokenOffHalfWayLeavesTargetUntouched) {
    Put(folder_ / "job.dxf", "old content");
    std::string error;
    bool written = true;
    {
        FileSizeLimit limit(16);
        written = WriteFileAtomically(folder_ / "job.dxf", std::string(4096, 'n'), &error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("job.dxf"), std::string::npos) << error;
    EXPECT_EQ(Get(folder_ / "job.dxf"), "old content");
    EXPECT_EQ(Names(), std::vector<std::string>{"job.dxf"});
}

TEST_F(AtomicFileTest, ReadOnlyFolderFailsAndTargetStays) {
    Put(folder_ / "Batch.lst", "old");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (PermissionsIgnored(folder_)) GTEST_SKIP() << "this user may write into read-only folders";
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder_ / "Batch.lst", "new", &error));
    EXPECT_NE(error.find("temporary"), std::string::npos) << error;
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(Get(folder_ / "Batch.lst"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"Batch.lst"});
}
#endif

TEST_F(AtomicFileTest, ReadWholeFileReportsWhatWentWrong) {
    std::string bytes = "stale";
    std::string error;
    EXPECT_FALSE(ReadWholeFile(folder_ / "missing.ini", bytes, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(error.find("missing.ini"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(ReadWholeFile(folder_, bytes, &error));
    EXPECT_FALSE(error.empty());

    const std::string binary("\0\x01\r\n\xFE", 5);
    Put(folder_ / "b.bin", binary);
    ASSERT_TRUE(ReadWholeFile(folder_ / "b.bin", bytes, nullptr));
    EXPECT_EQ(bytes, binary);
}

// ---------------------------------------------------------------------------------------------
// IniFile reading

using IniFileTest = FileTestFolder;

TEST_F(IniFileTest, MissingFileReadsEmptyEverywhere) {
    const IniFile ini(folder_ / "Rtrc.INI");
    EXPECT_EQ(ini.Read("Config", "SourceDir"), "");
    EXPECT_FALSE(ini.Find("Config", "SourceDir").has_value());
    EXPECT_TRUE(ini.ReadSection("LayerNameRoot").empty());
    EXPECT_TRUE(Names().empty()) << "reading must not create the file";
}

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;  // what Find gives; Read gives the same or ""
};

class IniReadTest : public FileTestFolder, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniReadTest, ReadsLikeTheProfileReader) {
    const ReadCase& c = GetParam();
    Put(folder_ / "Rtrc.INI", c.file);
    const IniFile ini(folder_ / "Rtrc.INI");
    EXPECT_EQ(ini.Find(c.section, c.key), c.expected);
    EXPECT_EQ(ini.Read(c.section, c.key), c.expected.value_or(""));
}

const std::string k100 =
    "C:\\Jobs\\" + std::string(92, 'x');  // 100 characters, the first 79 survive
const std::string kUmlauts100 = [] {
    std::string s;
    for (int i = 0; i < 100; ++i) s += "\xC3\xA9";  // é
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        ReadCase{"Plain", "[Config]\nSourceDir=C:\\Progs\n", "Config", "SourceDir", "C:\\Progs"},
        ReadCase{"EndMarkerIsMissing", "[Config]\nSourceDir=END.-\n", "Config", "SourceDir",
                 std::nullopt},
        ReadCase{"EndMarkerWithMoreIsAValue", "[Config]\nA=END.-x\n", "Config", "A", "END.-x"},
        ReadCase{"EmptyValueIsPresent", "[Config]\nSourceDir=\n", "Config", "SourceDir", ""},
        ReadCase{"MissingKey", "[Config]\nDestDir=D\n", "Config", "SourceDir", std::nullopt},
        ReadCase{"BlanksTrimmed", "[Config]\n  SourceDir \t=  C:\\a b \t\n", "Config", "SourceDir",
                 "C:\\a b"},
        ReadCase{"SectionCaseIgnored", "[cOnFiG]\nSourceDir=x\n", "CONFIG", "SourceDir", "x"},
        ReadCase{"KeyCaseIgnored", "[Config]\nsourcedir=x\n", "Config", "SOURCEDIR", "x"},
        ReadCase{"BlanksInSectionHeader", " [ Config ] \nA=1\n", "Config", "A", "1"},
        ReadCase{"QuotesTakenOff", "[Config]\nA=\"  C:\\x  \"\n", "Config", "A", "  C:\\x  "},
        ReadCase{"UnpairedQuoteKept", "[Config]\nA=\"C:\\x'\n", "Config", "A", "\"C:\\x'"},
        ReadCase{"CommentIsNoEntry", "[Config]\n;SourceDir=old\n", "Config", "SourceDir",
                 std::nullopt},
        ReadCase{"OtherSectionNotSeen", "[Other]\nA=1\n[Config]\nB=2\n", "Config", "A",
                 std::nullopt},
        ReadCase{"KeyBeforeAnySectionIgnored", "A=1\n[Config]\n", "Config", "A", std::nullopt},
        ReadCase{"LineWithoutEqualsIgnored", "[Config]\nA\nA=2\n", "Config", "A", "2"},
        ReadCase{"FirstDuplicateWins", "[Config]\nA=1\nA=2\n", "Config", "A", "1"},
        ReadCase{"RepeatedSectionSearched", "[Config]\nA=1\n[X]\n[Config]\nB=2\n", "Config", "B",
                 "2"},
        ReadCase{"ValueMayHoldEquals", "[Config]\nA=b=c\n", "Config", "A", "b=c"},
        ReadCase{"CrLfLineEnds", "[Config]\r\nA=1\r\nB=2\r\n", "Config", "A", "1"},
        ReadCase{"NoFinalLineEnd", "[Config]\nA=last", "Config", "A", "last"},
        ReadCase{"CutTo79Characters", "[Config]\nSourceDir=" + k100 + "\n", "Config", "SourceDir",
                 k100.substr(0, 79)},
        ReadCase{"CutCountsCharactersNotBytes", "[Config]\nA=" + kUmlauts100 + "\n", "Config", "A",
                 kUmlauts100.substr(0, 158)},
        ReadCase{"ByteOrderMarkSkipped", "\xEF\xBB\xBF[Config]\nA=1\n", "Config", "A", "1"},
        ReadCase{"Windows1252Converted", "[Config]\nA=Caf\xE9 \x80\n", "Config", "A",
                 "Caf\xC3\xA9 \xE2\x82\xAC"}),
    [](const ::testing::TestParamInfo<ReadCase>& testCase) { return testCase.param.name; });

TEST_F(IniFileTest, ReadSectionListsEntriesAsReadSeesThem) {
    Put(folder_ / "Rtrc.INI",
        "[LayerNameRoot]\nROUTE = FRAES\n; BORDER=old\nhbore=END.-\nroute=second\nLong=" + k100 +
            "\n[Config]\nA=1\n");
    const IniFile ini(folder_ / "Rtrc.INI");
    const std::vector<std::pair<std::string, std::string>> expected{
        {"ROUTE", "FRAES"}, {"hbore", ""}, {"Long", k100.substr(0, 79)}};
    EXPECT_EQ(ini.ReadSection("layernameroot"), expected);
}

TEST_F(IniFileTest, OptionsTurnTheCutAndMarkerOff) {
    Put(folder_ / "u.ini", "[Defaults]\nListDir=" + k100 + "\nM=END.-\nQ=\"x\"\n");
    const IniFile ini(folder_ / "u.ini", IniOptions{0, false, false});
    EXPECT_EQ(ini.Read("Defaults", "ListDir"), k100);
    EXPECT_EQ(ini.Find("Defaults", "M"), "END.-");
    EXPECT_EQ(ini.Read("Defaults", "Q"), "\"x\"");
}

TEST_F(IniFileTest, SeesChangesMadeByOthersBetweenReads) {
    const fs::path path = folder_ / "Rtrc.INI";
    Put(path, "[Config]\nA=1\n");
    const IniFile ini(path);
    ASSERT_EQ(ini.Read("Config", "A"), "1");
    Put(path, "[Config]\nA=22\n");  // same file, new size
    EXPECT_EQ(ini.Read("Config", "A"), "22");
    ASSERT_TRUE(WriteFileAtomically(path, "[Config]\nA=33\n", nullptr));  // same size, new file
    EXPECT_EQ(ini.Read("Config", "A"), "33");
    fs::remove(path);
    EXPECT_EQ(ini.Read("Config", "A"), "");
}

// ---------------------------------------------------------------------------------------------
// IniFile writing

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // nothing: no file
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class IniWriteTest : public FileTestFolder, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyWhatItMust) {
    const WriteCase& c = GetParam();
    const fs::path path = folder_ / "Rtrc.INI";
    if (c.before) Put(path, *c.before);
    IniFile ini(path);
    std::string error;
    ASSERT_TRUE(ini.Write(c.section, c.key, c.value, &error)) << error;
    EXPECT_EQ(Get(path), c.after);
    EXPECT_EQ(ini.Read(c.section, c.key), c.value);
    EXPECT_EQ(IniFile(path).Read(c.section, c.key), c.value);
    EXPECT_EQ(Names(), std::vector<std::string>{"Rtrc.INI"});
}

const std::string kHandEdited =
    "; Retracer settings - edit with care\r\n"
    "\r\n"
    "[Config]\r\n"
    "SourceDir=C:\\Progs\r\n"
    "TranslateOnSelect=0\r\n"
    "Unknown = kept as is \r\n"
    "\r\n"
    "[LayerNameRoot]\r\n"
    "ROUTE = FRAES   \r\n"
    ";BORDER=KONTUR\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWriteTest,
    ::testing::Values(
        WriteCase{"NewFile", std::nullopt, "Config", "TranslateOnSelect", "1",
                  "[Config]" + Eol() + "TranslateOnSelect=1" + Eol()},
        WriteCase{"ReplacesInPlaceKeepingEverythingElse", kHandEdited, "Config",
                  "TranslateOnSelect", "1",
                  "; Retracer settings - edit with care\r\n\r\n[Config]\r\nSourceDir=C:\\Progs\r\n"
                  "TranslateOnSelect=1\r\nUnknown = kept as is \r\n\r\n[LayerNameRoot]\r\n"
                  "ROUTE = FRAES   \r\n;BORDER=KONTUR\r\n"},
        WriteCase{"NewKeyAfterLastEntryOfItsSection", kHandEdited, "config", "DestDir", "D:\\Out",
                  "; Retracer settings - edit with care\r\n\r\n[Config]\r\nSourceDir=C:\\Progs\r\n"
                  "TranslateOnSelect=0\r\nUnknown = kept as is \r\nDestDir=D:\\Out\r\n\r\n"
                  "[LayerNameRoot]\r\nROUTE = FRAES   \r\n;BORDER=KONTUR\r\n"},
        WriteCase{"NewSectionAtTheEndInTheFilesStyle", kHandEdited, "Extra", "K", "v",
                  kHandEdited + "\r\n[Extra]\r\nK=v\r\n"},
        WriteCase{"KeepsSpellingAndSpacingOfTheKey", std::string("[config]\nsourcedir = old\n"),
                  "Config", "SourceDir", "new", "[config]\nsourcedir = new\n"},
        WriteCase{"EmptyValue", std::string("[Config]\nA=1\n"), "Config", "A", "",
                  "[Config]\nA=\n"},
        WriteCase{"SectionWithoutEntries", std::string("[Config]\n[Next]\nB=2\n"), "Config", "A",
                  "1", "[Config]\nA=1\n[Next]\nB=2\n"},
        WriteCase{"LastLineWithoutLineEnd", std::string("[Config]\nA=1"), "Config", "B", "2",
                  "[Config]\nA=1\nB=2\n"},
        WriteCase{"NewSectionAfterUnterminatedLine", std::string("[Config]\nA=1"), "X", "K", "v",
                  "[Config]\nA=1\n\n[X]\nK=v\n"},
        WriteCase{"RepeatedSectionChangesTheEntryReadSees",
                  std::string("[Config]\nA=1\n[X]\n[Config]\nB=2\n"), "CONFIG", "b", "3",
                  "[Config]\nA=1\n[X]\n[Config]\nB=3\n"},
        WriteCase{"ByteOrderMarkKept", std::string("\xEF\xBB\xBF[Config]\nA=1\n"), "Config", "A",
                  "2", "\xEF\xBB\xBF[Config]\nA=2\n"},
        WriteCase{"Windows1252RewrittenAsUtf8", std::string("[Config]\nA=1\nB=Caf\xE9\n"), "Config",
                  "A", "0", "[Config]\nA=0\nB=Caf\xC3\xA9\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& testCase) { return testCase.param.name; });

TEST_F(IniFileTest, LongValueIsStoredWholeAndReadCut) {
    const fs::path path = folder_ / "Rtrc.INI";
    IniFile ini(path);
    ASSERT_TRUE(ini.Write("Config", "SourceDir", k100));
    EXPECT_EQ(Get(path), "[Config]" + Eol() + "SourceDir=" + k100 + Eol());
    EXPECT_EQ(ini.Read("Config", "SourceDir"), k100.substr(0, 79));
}

TEST_F(IniFileTest, RefusesEntriesAFileCannotHoldAndChangesNothing) {
    const fs::path path = folder_ / "Rtrc.INI";
    Put(path, "[Config]\nA=1\n");
    IniFile ini(path);
    struct Bad {
        const char* section;
        const char* key;
        const char* value;
    };
    for (const Bad& bad :
         {Bad{"Config", "", "1"}, Bad{"Config", "  ", "1"}, Bad{"Config", "A=B", "1"},
          Bad{"Config", ";A", "1"}, Bad{"Config", "A", "two\nlines"}, Bad{"Config", "A", "cr\r"},
          Bad{"", "A", "1"}, Bad{"Con]fig", "A", "1"}, Bad{"Con\nfig", "A", "1"}}) {
        std::string error;
        EXPECT_FALSE(ini.Write(bad.section, bad.key, bad.value, &error))
            << bad.section << "/" << bad.key;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Get(path), "[Config]\nA=1\n");
}

#ifndef _WIN32
TEST_F(IniFileTest, WriteThatFailsHalfWayKeepsTheOldFile) {
    const fs::path path = folder_ / "Rtrc.INI";
    Put(path, kHandEdited);
    IniFile ini(path);
    bool written = true;
    {
        FileSizeLimit limit(kHandEdited.size() - 1);
        written = ini.Write("Config", "SourceDir", "C:\\A much longer folder than before");
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(Get(path), kHandEdited);
    EXPECT_EQ(ini.Read("Config", "SourceDir"), "C:\\Progs");
    EXPECT_EQ(Names(), std::vector<std::string>{"Rtrc.INI"});
}

TEST_F(IniFileTest, WriteToReadOnlyFolderFailsAndKeepsTheOldFile) {
    const fs::path path = folder_ / "Rtrc.INI";
    Put(path, kHandEdited);
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (PermissionsIgnored(folder_)) GTEST_SKIP() << "this user may write into read-only folders";
    IniFile ini(path);
    EXPECT_FALSE(ini.Write("Config", "TranslateOnSelect", "1"));
    EXPECT_EQ(ini.Read("Config", "TranslateOnSelect"), "0");
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(Get(path), kHandEdited);
}

TEST_F(IniFileTest, UnreadableFileIsNeverReplacedByOneEntry) {
    const fs::path path = folder_ / "Rtrc.INI";
    Put(path, kHandEdited);
    fs::permissions(path, fs::perms::none);
    std::ifstream probe(path);
    if (probe.good()) GTEST_SKIP() << "this user may read unreadable files";
    IniFile ini(path);
    EXPECT_EQ(ini.Read("Config", "SourceDir"), "");
    EXPECT_FALSE(ini.Write("Config", "TranslateOnSelect", "1"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Get(path), kHandEdited);
}
#endif

TEST_F(IniFileTest, WriteIntoMissingFolderFails) {
    IniFile ini(folder_ / "gone" / "Rtrc.INI");
    std::string error;
    EXPECT_FALSE(ini.Write("Config", "A", "1", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ini.Read("Config", "A"), "");
}

}  // namespace
