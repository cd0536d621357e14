// Start-up folders, the per-user store and the installation's settings record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

#include "base/atomic_file.h"
#include "settings/app_folder.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/user_store.h"

namespace fs = std::filesystem;
using namespace retracer;

namespace {

class StoreTestFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("retracer-store-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    static void Put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string Get(const fs::path& path) {
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

TEST(AppFolderTest, VbRuleAndRetracerHome) {
    for (const auto& [folder, matches] :
         {std::pair{"C:\\TOOLS\\VBSTUFF\\", true}, std::pair{"/opt/Retracer/bin/vB", true},
          std::pair{"/opt/v/b/", false}, std::pair{"/usr/local/BV/", false}, std::pair{"", false}})
        EXPECT_EQ(MatchesVbDevFolderRule(folder), matches) << folder;
    EXPECT_EQ(ApplyVbDevFolderRule("C:\\TOOLS\\VBSTUFF\\"), fs::path(kVbDevelopmentFolder));
    const fs::path expected =
        VbDevFolderRuleEnabled() ? fs::path(kVbDevelopmentFolder) : fs::path("/opt/VBtools");
    EXPECT_EQ(ResolveAppPaths("/opt/VBtools", nullptr).settingsFile, expected / "Rtrc.INI");
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer/", nullptr).settingsFile,
              fs::path("/opt/Retracer/Rtrc.INI"));
    // RETRACER_HOME wins when set and not empty, even when it would match the development rule.
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "/srv/shop/").settingsFile,
              fs::path("/srv/shop/Rtrc.INI"));
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "").appFolder, fs::path("/opt/Retracer"));
    EXPECT_EQ(ResolveAppPaths("/opt/Retracer", "/home/vbuser").appFolder, fs::path("/home/vbuser"));
}

using AppFolderFiles = StoreTestFolder;

TEST_F(AppFolderFiles, ScratchFoldersAreCreatedAndErrorsIgnored) {
    CreateScratchFolders(ResolveAppPaths(folder_, nullptr));
    EXPECT_TRUE(fs::is_directory(folder_ / "TMP"));
    EXPECT_TRUE(fs::is_directory(folder_ / "NestTmp"));
    const fs::path other = folder_ / "other";  // TMP taken by a file: it stays
    fs::create_directory(other);
    Put(other / "TMP", "a file");
    CreateScratchFolders(ResolveAppPaths(other, nullptr));
    EXPECT_EQ(Get(other / "TMP"), "a file");
    EXPECT_TRUE(fs::is_directory(other / "NestTmp"));
}

// An installed program (its folder not writable) keeps its application folder per user, seeded
// from the installed files on first start without replacing what the user changed since.
TEST_F(AppFolderFiles, InstalledProgramsUseASeededPerUserFolder) {
    const fs::path prefix = folder_ / "usr";
    const fs::path installed = InstalledAppFiles(prefix / "bin");
    EXPECT_EQ(installed, prefix / "share" / "retracer");
    fs::create_directories(installed / "Letters");
    Put(installed / "Tool.Par", "installed tools");
    Put(installed / "Letters" / "A.DXF", "installed A");
    Put(installed / "Letters" / "B.DXF", "installed B");
    const fs::path user = folder_ / "home" / ".local" / "share" / "Retracer";

    // A writable program folder (a build, a private copy) is the application folder itself.
    EXPECT_EQ(ChooseAppFolder(prefix / "bin", true, user, installed), prefix / "bin");
    EXPECT_FALSE(fs::exists(user));
    // No per-user folder known: the program folder all the same.
    EXPECT_EQ(ChooseAppFolder(prefix / "bin", false, fs::path(), installed), prefix / "bin");

    EXPECT_EQ(ChooseAppFolder(prefix / "bin", false, user, installed), user);
    EXPECT_EQ(Get(user / "Tool.Par"), "installed tools");
    EXPECT_EQ(Get(user / "Letters" / "B.DXF"), "installed B");

    // Later starts keep the user's edits and add only what is missing.
    Put(user / "Tool.Par", "my tools");
    fs::remove(user / "Letters" / "B.DXF");
    Put(user / "Letters" / "A.DXF", "my A");
    EXPECT_EQ(ChooseAppFolder(prefix / "bin", false, user, installed), user);
    EXPECT_EQ(Get(user / "Tool.Par"), "my tools");
    EXPECT_EQ(Get(user / "Letters" / "A.DXF"), "my A");
    EXPECT_EQ(Get(user / "Letters" / "B.DXF"), "installed B");

    // Nothing installed to seed from: the folder is still made, and no file appears.
    const fs::path bare = folder_ / "bare";
    EXPECT_TRUE(SeedAppFolder(bare, folder_ / "nothing"));
    EXPECT_TRUE(fs::is_directory(bare));
    EXPECT_FALSE(fs::exists(bare / "Tool.Par"));
}

TEST_F(AppFolderFiles, WritableFoldersAndThePerUserRoot) {
    EXPECT_TRUE(IsWritableFolder(folder_));
    EXPECT_TRUE(fs::is_empty(folder_));  // the probe is gone again
    EXPECT_FALSE(IsWritableFolder(folder_ / "missing"));
    Put(folder_ / "file", "x");
    EXPECT_FALSE(IsWritableFolder(folder_ / "file"));
    EXPECT_FALSE(IsWritableFolder(fs::path()));
#ifndef _WIN32
    EXPECT_EQ(PerUserAppFolder("/data", "/home/u"), fs::path("/data/Retracer"));
    EXPECT_EQ(PerUserAppFolder("relative", "/home/u"), fs::path("/home/u/.local/share/Retracer"));
    EXPECT_EQ(PerUserAppFolder(nullptr, "/home/u"), fs::path("/home/u/.local/share/Retracer"));
    EXPECT_EQ(PerUserAppFolder("", nullptr), fs::path());
#endif
}

using UserStoreTest = StoreTestFolder;

TEST_F(UserStoreTest, ValuesSurviveIntoAnotherStoreAndMissingGiveTheDefault) {
    const fs::path root = folder_ / "config" / "Retracer";  // made on first save
    Put(folder_ / "Cutplan.ini", "[Paths]\nExe=/opt/cutplan\n");
    {
        FileUserSettingsStore store(root);
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "Counter4HBD", "42"));
        ASSERT_TRUE(store.Save("Retracer", "Defaults", "Empty", ""));
    }
    const FileUserSettingsStore other(root);
    EXPECT_EQ(other.Get("Retracer", "DEFAULTS", "counter4hbd", "0"), "42");
    EXPECT_EQ(other.Get("Retracer", "Defaults", "Empty", "d"), "");  // present, empty
    EXPECT_EQ(other.Get("Retracer", "Defaults", "InitDir", "d"), "d");
    EXPECT_EQ(other.Get("Cutplan", "Defaults", "Counter4HBD", "d"), "d");

    FileUserSettingsStore beside(folder_);  // applications keep separate files
    EXPECT_EQ(beside.Get("Cutplan", "Paths", "Exe", "C:\\"), "/opt/cutplan");
    ASSERT_TRUE(beside.Save("Retracer", "Paths", "Exe", "mine"));
    EXPECT_EQ(Get(folder_ / "Cutplan.ini"), "[Paths]\nExe=/opt/cutplan\n");
}

TEST_F(UserStoreTest, ValuesComeBackExactly) {
    FileUserSettingsStore store(folder_);
    for (const std::string& value :
         {"/home/" + std::string(300, 'p'), std::string("END.-"), std::string("  padded  "),
          std::string("\"quoted\""), std::string("a=b;c"), std::string("\xC3\xBC\xE2\x82\xAC")}) {
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
    FileUserSettingsStore nowhere{fs::path()};
    EXPECT_FALSE(nowhere.Save("Retracer", "Defaults", "K", "v"));
}

using Xdg = std::tuple<const char*, const char*, fs::path>;

TEST(UserStoreRules, RootFollowsTheXdgRulesAndFolderPartAndMemoryStore) {
    for (const auto& [xdg, home, expected] :
         {Xdg{"/x/cfg", "/home/a", "/x/cfg/Retracer"},
          Xdg{nullptr, "/home/a", "/home/a/.config/Retracer"},
          Xdg{"relative/cfg", "/home/a", "/home/a/.config/Retracer"}, Xdg{"", "", fs::path()}})
        EXPECT_EQ(FileUserSettingsStore::RootFromEnvironment(xdg, home), expected) << home;
    for (const auto& [path, folder] :
         {std::pair{"C:\\Lists\\week12.lst", "C:\\Lists\\"},
          std::pair{"D:\\a/b\\c.dxf", "D:\\a/b\\"}, std::pair{"/home/ann/x.csv", "/home/ann/"},
          std::pair{"name.lst", ""}})
        EXPECT_EQ(FolderPart(path), folder) << path;
    MemoryUserSettingsStore memory;
    EXPECT_TRUE(memory.Save("Retracer", "Defaults", "Counter4HBD", "7"));
    EXPECT_EQ(memory.Get("Retracer", "defaults", "counter4hbd", "0"), "7");
    EXPECT_EQ(memory.Get("Cutplan", "Defaults", "Counter4HBD", "0"), "0");
}

using SettingsTest = StoreTestFolder;

TEST_F(SettingsTest, ReadsFoldersSubPathAndAllVariables) {
    const Settings none = ReadSettings(IniFile(folder_ / "missing.ini"));
    EXPECT_EQ(none.options, TranslationOptions{});
    EXPECT_EQ(none.subprogramFolder, kSeparator);
    const std::string longDir = "C:\\" + std::string(97, 'd');
    const Settings settings =
        ReadSettings(Config("SourceDir=" + longDir + "\nDestDir=C:\\Dxf\nAllVariables=1\n"));
    EXPECT_EQ(settings.sourceDir, longDir.substr(0, 79));
    EXPECT_EQ(settings.destDir, "C:\\Dxf");
    EXPECT_EQ(settings.allVariables, 1);
    // The subprogram folder ends in a separator; AllVariables is a sixteen-bit number.
    for (const auto& [lines, folder] :
         {std::pair{std::string("SubPath=D:\\subs\n"), "D:\\subs" + kSeparator},
          std::pair{std::string("SubPath=/srv/subs/\n"), std::string("/srv/subs/")},
          std::pair{std::string("SubPath=\n"), kSeparator}})
        EXPECT_EQ(ReadSettings(Config(lines)).subprogramFolder, folder) << lines;
    for (const auto& [value, expected] :
         {std::pair{"abc", 0}, std::pair{"-7", -7}, std::pair{"3.5", 4}, std::pair{"1E2", 100},
          std::pair{"99999", 32767}, std::pair{"-99999", -32768}})
        EXPECT_EQ(ReadSettings(Config(std::string("AllVariables=") + value)).allVariables, expected)
            << value;
}

TEST_F(SettingsTest, OnlyTheNumberOneTurnsAnOptionOn) {
    for (const auto& [value, on] :
         {std::pair{"1", true}, std::pair{" 1", true}, std::pair{"1.0", true},
          std::pair{"2", false}, std::pair{"-1", false}, std::pair{"yes", false},
          std::pair{"END.-", false}}) {
        // One key at a time, so a key read into the wrong field shows too.
        for (const OptionKey& target : kOptionKeys) {
            const Settings settings = ReadSettings(Config(std::string(target.key) + "=" + value));
            for (const OptionKey& field : kOptionKeys)
                EXPECT_EQ(settings.options.*field.field, field.field == target.field && on)
                    << target.key << "=" << value << " read into " << field.key;
        }
    }
}

TEST_F(SettingsTest, WriteOptionStoresZeroOrOneUnderItsKey) {
    IniFile ini = Config("SourceDir=C:\\Progs\n");
    for (const OptionKey& entry : kOptionKeys) {
        ASSERT_TRUE(WriteOption(ini, entry.field, true)) << entry.key;
        EXPECT_TRUE(ReadSettings(IniFile(ini.Path())).options.*entry.field) << entry.key;
        ASSERT_TRUE(WriteOption(ini, entry.field, false));
        EXPECT_EQ(ReadSettings(ini).options, TranslationOptions{}) << entry.key;
    }
    const std::string after =
        "[Config]\nSourceDir=C:\\Progs\nTranslateOnSelect=0\nSaveOnTranslate=0\n"
        "ToolNumberToDiameter=0\nGenerateBatchLst=0\nAttachBarcode=0\nMaintainRtSeq=0\n"
        "DepthInVertices=0\nRenameForHBD=0\nEngraveLabel=0\n";
    EXPECT_EQ(Get(ini.Path()), after);
    EXPECT_FALSE(WriteOption(ini, nullptr, true));
    EXPECT_EQ(Get(ini.Path()), after);
}

TEST_F(SettingsTest, RootNameComesFromTheHandEditedSectionOrIsTheWordItself) {
    const IniFile ini =
        Config("VBORE=No\n[LayerNameRoot]\nROUTE = FRAES\nBORDER=\nHBORE=END.-\nJob=" +
               std::string(100, 'R'));
    for (const auto& [word, root] :
         {std::pair{"route", std::string("FRAES")}, std::pair{"BORDER", std::string("BORDER")},
          std::pair{"HBORE", std::string("HBORE")}, std::pair{"VBORE", std::string("VBORE")},
          std::pair{"Job", std::string(79, 'R')}})
        EXPECT_EQ(RootName(ini, word), root) << word;
    EXPECT_EQ(RootName(IniFile(folder_ / "none.ini"), "ROUTE"), "ROUTE");
}

}  // namespace
