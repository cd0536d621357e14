// Start-up folders, the per-user store and the installation's settings record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "settings/app_folder.h"
#include "settings/atomic_file.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/user_store.h"

namespace fs = std::filesystem;
using namespace retracer;

namespace {

class StoreTestFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("retracer-store-" + std::to_string(random()) + "-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    void Put(const fs::path& path, const std::string& bytes) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << path;
    }
    std::string Get(const fs::path& path) const {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr)) << path;
        return bytes;
    }
    // A settings file holding the given lines of section Config.
    IniFile Config(const std::string& lines) const {
        Put(folder_ / "Rtrc.INI", "[Config]\n" + lines);
        return IniFile(folder_ / "Rtrc.INI");
    }

    fs::path folder_;
};

const std::string kSeparator(1, static_cast<char>(fs::path::preferred_separator));

// ---------------------------------------------------------------------------------------------
// Application folder

TEST(AppFolderTest, VbRuleIsAPlainSubstringTestIgnoringCase) {
    struct Case {
        const char* folder;
        bool matches;
    };
    for (const Case& c : {Case{"C:\\TOOLS\\VBSTUFF\\", true}, Case{"c:\\work\\vb6\\", true},
                          Case{"/home/ann/Vb/", true}, Case{"/opt/Retracer/bin/vB", true},
                          Case{"C:\\Program Files\\Retracer\\", false}, Case{"/opt/v/b/", false},
                          Case{"/usr/local/BV/", false}, Case{"V", false}, Case{"", false}}) {
        EXPECT_EQ(MatchesVbDevFolderRule(c.folder), c.matches) << c.folder;
    }
    EXPECT_EQ(ApplyVbDevFolderRule("C:\\TOOLS\\VBSTUFF\\"), fs::path(kVbDevelopmentFolder));
    EXPECT_EQ(ApplyVbDevFolderRule("/opt/Retracer"), fs::path("/opt/Retracer"));
}

TEST(AppFolderTest, PathsAreBuiltOnTheExecutableFolder) {
    const AppPaths paths = ResolveAppPaths("/opt/Retracer", nullptr);
    EXPECT_EQ(paths.appFolder, fs::path("/opt/Retracer"));
    EXPECT_EQ(paths.settingsFile, fs::path("/opt/Retracer/Rtrc.INI"));
    EXPECT_EQ(paths.tmpFolder, fs::path("/opt/Retracer/TMP"));
    EXPECT_EQ(paths.nestTmpFolder, fs::path("/opt/Retracer/NestTmp"));
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer/", nullptr).settingsFile,
              fs::path("/opt/Retracer/Rtrc.INI"));
}

TEST(AppFolderTest, RetracerHomeOverridesWhenSetAndNotEmpty) {
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "/srv/shop").settingsFile,
              fs::path("/srv/shop/Rtrc.INI"));
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "/srv/shop/").appFolder, fs::path("/srv/shop"));
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "").appFolder, fs::path("/opt/Retracer"));
    // An explicit home is taken as given even when it would match the development rule.
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "/home/vbuser").appFolder, fs::path("/home/vbuser"));
}

TEST(AppFolderTest, VbRuleAppliesToTheExecutableFolderOnlyWhenBuiltIn) {
    const fs::path expected =
        VbDevFolderRuleEnabled() ? fs::path(kVbDevelopmentFolder) : fs::path("/opt/VBtools");
    EXPECT_EQ(ResolveAppPaths("/opt/VBtools", nullptr).appFolder, expected);
    EXPECT_EQ(ResolveAppPaths("/opt/VBtools", nullptr).settingsFile, expected / "Rtrc.INI");
}

#ifdef __linux__
TEST(AppFolderTest, ExecutableFolderHoldsTheRunningProgram) {
    const fs::path folder = ExecutableFolder("ignored-when-proc-is-there");
    EXPECT_TRUE(folder.is_absolute()) << folder;
    EXPECT_TRUE(
        fs::equivalent(folder / fs::read_symlink("/proc/self/exe").filename(), "/proc/self/exe"));
}
#endif

using AppFolderFiles = StoreTestFolder;

TEST_F(AppFolderFiles, ScratchFoldersAreCreatedAndErrorsIgnored) {
    const AppPaths paths = ResolveAppPaths(folder_, nullptr);
    CreateScratchFolders(paths);
    EXPECT_TRUE(fs::is_directory(folder_ / "TMP"));
    EXPECT_TRUE(fs::is_directory(folder_ / "NestTmp"));
    Put(folder_ / "TMP" / "scratch.dxf", "x");
    CreateScratchFolders(paths);  // already there: nothing changes
    EXPECT_EQ(Get(folder_ / "TMP" / "scratch.dxf"), "x");

    // TMP taken by a file: it stays, and NestTmp is still made.
    const fs::path other = folder_ / "other";
    fs::create_directory(other);
    Put(other / "TMP", "a file");
    CreateScratchFolders(ResolveAppPaths(other, nullptr));
    EXPECT_EQ(Get(other / "TMP"), "a file");
    EXPECT_TRUE(fs::is_directory(other / "NestTmp"));

    CreateScratchFolders(ResolveAppPaths(folder_ / "missing" / "deeper", nullptr));
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

// ---------------------------------------------------------------------------------------------
// Per-user store

using UserStoreTest = StoreTestFolder;

TEST_F(UserStoreTest, ValuesSurviveIntoAnotherStoreOnTheSameRoot) {
    const fs::path root = folder_ / "config" / "Retracer";  // made on first save
    {
        FileUserSettingsStore store(root);
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "Counter4HBD", "41"));
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "ListDir", "/home/ann/lists/"));
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "Counter4HBD", "42"));
    }
    const FileUserSettingsStore other(root);
    EXPECT_EQ(other.Get("Retracer", "Defaults", "Counter4HBD", "0"), "42");
    EXPECT_EQ(other.Get("Retracer", "DEFAULTS", "listdir", "C:\\"), "/home/ann/lists/");
    EXPECT_EQ(other.FileFor("Retracer"), root / "Retracer.ini");
    EXPECT_TRUE(fs::is_regular_file(root / "Retracer.ini"));
}

TEST_F(UserStoreTest, MissingEntriesGiveTheDefault) {
    FileUserSettingsStore store(folder_);
    EXPECT_EQ(store.Get("Retracer", "Defaults", "InitDir", "C:\\"), "C:\\");  // no file
    ASSERT_TRUE(store.Save("Retracer", "Defaults", "CSVDir", "/x/"));
    EXPECT_EQ(store.Get("Retracer", "Defaults", "InitDir", "C:\\"), "C:\\");  // no key
    EXPECT_EQ(store.Get("Retracer", "Other", "CSVDir", "d"), "d");            // no section
    EXPECT_EQ(store.Get("Cutplan", "Defaults", "CSVDir", "d"), "d");          // other app
    ASSERT_TRUE(store.Save("Retracer", "Defaults", "Empty", ""));
    EXPECT_EQ(store.Get("Retracer", "Defaults", "Empty", "d"), "");  // present, empty
}

TEST_F(UserStoreTest, ApplicationsKeepSeparateFiles) {
    Put(folder_ / "Cutplan.ini", "[Paths]\nExecutable=/opt/cutplan/cutplan\n");
    FileUserSettingsStore store(folder_);
    EXPECT_EQ(store.Get("Cutplan", "Paths", "Executable", "C:\\"), "/opt/cutplan/cutplan");
    EXPECT_EQ(store.Get("Retracer", "Paths", "Executable", "C:\\"), "C:\\");
    ASSERT_TRUE(store.Save("Retracer", "Paths", "Executable", "mine"));
    EXPECT_EQ(Get(folder_ / "Cutplan.ini"), "[Paths]\nExecutable=/opt/cutplan/cutplan\n");
}

TEST_F(UserStoreTest, ValuesComeBackExactly) {
    FileUserSettingsStore store(folder_);
    const std::string longPath = "/home/ann/" + std::string(300, 'p') + "/";
    for (const std::string& value :
         {longPath, std::string("END.-"), std::string("  padded  "), std::string("\tlead"),
          std::string("\"quoted\""), std::string("'single'"), std::string("\"\""),
          std::string("\"half"), std::string("a=b;c"), std::string("C:\\Jobs\\"),
          std::string("\xC3\xBC\xE2\x82\xAC")}) {
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "Value", value)) << value;
        EXPECT_EQ(FileUserSettingsStore(folder_).Get("Retracer", "Defaults", "Value", "-"), value);
    }
}

TEST_F(UserStoreTest, RefusesNamesThatAreNoFileOrEntry) {
    FileUserSettingsStore store(folder_ / "root");
    for (const char* app : {"", "..", "../escape", "a/b", "a\\b"})
        EXPECT_FALSE(store.Save(app, "Defaults", "K", "v")) << app;
    EXPECT_FALSE(store.Save("Retracer", "Defaults", "K", "two\nlines"));
    EXPECT_FALSE(fs::exists(folder_ / "escape.ini"));
    EXPECT_EQ(store.Get("../escape", "Defaults", "K", "d"), "d");

    FileUserSettingsStore nowhere{fs::path()};
    EXPECT_FALSE(nowhere.Save("Retracer", "Defaults", "K", "v"));
    EXPECT_EQ(nowhere.Get("Retracer", "Defaults", "K", "d"), "d");
}

TEST(UserStoreRootTest, FollowsTheXdgRules) {
    struct Case {
        const char* xdg;
        const char* home;
        fs::path expected;
    };
    for (const Case& c : {Case{"/x/cfg", "/home/ann", "/x/cfg/Retracer"},
                          Case{"", "/home/ann", "/home/ann/.config/Retracer"},
                          Case{nullptr, "/home/ann", "/home/ann/.config/Retracer"},
                          Case{"relative/cfg", "/home/ann", "/home/ann/.config/Retracer"},
                          Case{"/x/cfg", nullptr, "/x/cfg/Retracer"},
                          Case{nullptr, nullptr, fs::path()}, Case{"", "", fs::path()}}) {
        EXPECT_EQ(FileUserSettingsStore::RootFromEnvironment(c.xdg, c.home), c.expected)
            << (c.xdg ? c.xdg : "(unset)") << " / " << (c.home ? c.home : "(unset)");
    }
}

TEST(UserStoreMemoryTest, BehavesLikeTheFileStore) {
    MemoryUserSettingsStore store;
    EXPECT_EQ(store.Get("Retracer", "Defaults", "Counter4HBD", "0"), "0");
    EXPECT_TRUE(store.Save("Retracer", "Defaults", "Counter4HBD", "7"));
    EXPECT_EQ(store.Get("Retracer", "defaults", "counter4hbd", "0"), "7");
    EXPECT_EQ(store.Get("RETRACER", "Defaults", "Counter4HBD", "0"), "0");
    EXPECT_EQ(store.Get("Cutplan", "Defaults", "Counter4HBD", "0"), "0");
    const UserSettingsStore& asInterface = store;
    EXPECT_EQ(asInterface.Get("Retracer", "Defaults", "Counter4HBD", "0"), "7");
}

TEST(UserStoreFolderPartTest, CutsAfterTheLastSeparatorOfEitherKind) {
    struct Case {
        const char* path;
        const char* folder;
    };
    for (const Case& c : {Case{"C:\\Lists\\week12.lst", "C:\\Lists\\"},
                          Case{"/home/ann/csv/parts.csv", "/home/ann/csv/"},
                          Case{"D:\\mixed/dir\\file.dxf", "D:\\mixed/dir\\"}, Case{"C:\\", "C:\\"},
                          Case{"name.lst", ""}, Case{"", ""}}) {
        EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
    }
}

// ---------------------------------------------------------------------------------------------
// Settings record

using SettingsTest = StoreTestFolder;

TEST_F(SettingsTest, MissingFileGivesEmptyFoldersAndEveryOptionOff) {
    const Settings settings = ReadSettings(IniFile(folder_ / "Rtrc.INI"));
    EXPECT_EQ(settings.sourceDir, "");
    EXPECT_EQ(settings.destDir, "");
    EXPECT_EQ(settings.options, TranslationOptions{});
    EXPECT_EQ(settings.allVariables, 0);
    EXPECT_EQ(settings.subprogramFolder, kSeparator);
}

TEST_F(SettingsTest, ReadsEveryKeyByItsOwnName) {
    const IniFile ini = Config(
        "SourceDir=C:\\Progs\nDestDir=C:\\Dxf\nTranslateOnSelect=1\nSaveOnTranslate=0\n"
        "ToolNumberToDiameter=1\nGenerateBatchLst=0\nAttachBarcode=1\nMaintainRtSeq=0\n"
        "DepthInVertices=1\nRenameForHBD=0\nEngraveLabel=1\nAllVariables=1\nSubPath=D:\\subs\\\n");
    const Settings settings = ReadSettings(ini);
    EXPECT_EQ(settings.sourceDir, "C:\\Progs");
    EXPECT_EQ(settings.destDir, "C:\\Dxf");
    TranslationOptions expected;
    expected.translateOnSelect = true;
    expected.toolNumberToDiameter = true;
    expected.attachBarcode = true;
    expected.depthInVertices = true;
    expected.engraveLabel = true;
    EXPECT_EQ(settings.options, expected);
    EXPECT_EQ(settings.allVariables, 1);
    EXPECT_EQ(settings.subprogramFolder, "D:\\subs\\");
}

TEST_F(SettingsTest, OnlyTheNumberOneTurnsAnOptionOn) {
    struct Case {
        const char* value;
        bool on;
    };
    for (const Case& c :
         {Case{"1", true}, Case{" 1", true}, Case{"1.0", true}, Case{"+1", true},
          Case{"1 (on)", true}, Case{"0", false}, Case{"2", false}, Case{"-1", false},
          Case{"0.5", false}, Case{"yes", false}, Case{"", false}, Case{"END.-", false}}) {
        // Set one key at a time, so a key read into the wrong field shows too.
        for (const OptionKey& target : kOptionKeys) {
            const Settings settings =
                ReadSettings(Config(std::string(target.key) + "=" + c.value + "\n"));
            for (const OptionKey& field : kOptionKeys) {
                const bool expected = field.field == target.field && c.on;
                EXPECT_EQ(settings.options.*field.field, expected)
                    << target.key << "=" << c.value << " read into " << field.key;
            }
        }
    }
}

TEST_F(SettingsTest, SubPathAlwaysEndsInASeparator) {
    struct Case {
        std::string lines;
        std::string folder;
    };
    for (const Case& c :
         {Case{"SubPath=D:\\subs\n", "D:\\subs" + kSeparator},
          Case{"SubPath=D:\\subs\\\n", "D:\\subs\\"}, Case{"SubPath=/srv/subs/\n", "/srv/subs/"},
          Case{"SubPath=\n", kSeparator}, Case{"", kSeparator}}) {
        EXPECT_EQ(ReadSettings(Config(c.lines)).subprogramFolder, c.folder) << c.lines;
    }
}

TEST_F(SettingsTest, AllVariablesIsASixteenBitNumber) {
    struct Case {
        const char* value;
        int expected;
    };
    for (const Case& c :
         {Case{"1", 1}, Case{"abc", 0}, Case{"", 0}, Case{"-7", -7}, Case{"2.5", 2}, Case{"3.5", 4},
          Case{"1E2", 100}, Case{"99999", 32767}, Case{"-99999", -32768}}) {
        EXPECT_EQ(ReadSettings(Config(std::string("AllVariables=") + c.value + "\n")).allVariables,
                  c.expected)
            << c.value;
    }
}

TEST_F(SettingsTest, FoldersAreCutAt79Characters) {
    const std::string longDir = "C:\\" + std::string(97, 'd');
    const Settings settings =
        ReadSettings(Config("SourceDir=" + longDir + "\nDestDir=" + longDir + "\n"));
    EXPECT_EQ(settings.sourceDir, longDir.substr(0, 79));
    EXPECT_EQ(settings.destDir, longDir.substr(0, 79));
}

TEST_F(SettingsTest, WriteOptionStoresZeroOrOneUnderItsKeyAtOnce) {
    IniFile ini = Config("SourceDir=C:\\Progs\n");
    for (const OptionKey& entry : kOptionKeys) {
        ASSERT_TRUE(WriteOption(ini, entry.field, true)) << entry.key;
        EXPECT_EQ(ini.Read(kConfigSection, entry.key), "1");
        EXPECT_TRUE(ReadSettings(IniFile(ini.Path())).options.*entry.field) << entry.key;
        ASSERT_TRUE(WriteOption(ini, entry.field, false));
        EXPECT_EQ(ini.Read(kConfigSection, entry.key), "0");
        EXPECT_EQ(ReadSettings(ini).options, TranslationOptions{}) << entry.key;
    }
    EXPECT_EQ(Get(ini.Path()),
              "[Config]\nSourceDir=C:\\Progs\nTranslateOnSelect=0\nSaveOnTranslate=0\n"
              "ToolNumberToDiameter=0\nGenerateBatchLst=0\nAttachBarcode=0\nMaintainRtSeq=0\n"
              "DepthInVertices=0\nRenameForHBD=0\nEngraveLabel=0\n");

    const std::string before = Get(ini.Path());
    EXPECT_FALSE(WriteOption(ini, nullptr, true));
    EXPECT_EQ(Get(ini.Path()), before);
    EXPECT_EQ(OptionKeyName(&TranslationOptions::renameForHbd), "RenameForHBD");
}

TEST_F(SettingsTest, RootNameComesFromTheHandEditedSectionOrIsTheWordItself) {
    const std::string longRoot(100, 'R');
    Put(folder_ / "Rtrc.INI",
        "[Config]\nVBORE=NotHere\n[LayerNameRoot]\nROUTE = FRAES\nBORDER=\nHBORE=END.-\n"
        "JobName=" +
            longRoot + "\n");
    const IniFile ini(folder_ / "Rtrc.INI");
    struct Case {
        const char* word;
        std::string root;
    };
    for (const Case& c : {Case{"ROUTE", "FRAES"}, Case{"route", "FRAES"}, Case{"BORDER", "BORDER"},
                          Case{"HBORE", "HBORE"}, Case{"VBORE", "VBORE"},
                          Case{"JobName", longRoot.substr(0, 79)}}) {
        EXPECT_EQ(RootName(ini, c.word), c.root) << c.word;
    }
    EXPECT_EQ(RootName(IniFile(folder_ / "none.ini"), "ROUTE"), "ROUTE");
}

}  // namespace
