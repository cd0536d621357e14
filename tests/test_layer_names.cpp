// Layer names: the number form, the suffixes and every layer grammar.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include "drawing/layer_names.h"
#include "settings/ini_file.h"
#include "translate/state_layer_names.h"

namespace retracer {
namespace {

TEST(LayerNumber, IntegralPlainOthersWithPForThePoint) {
    // A single is rounded as the decimal it shows (2.0005f), not as its binary value 2.00049996...
    const std::pair<float, const char*> blank[] = {
        {12.345f, "12P345"},   {12.3456f, "12P346"}, {7, "7"},           {0, ""},
        {0.25f, "0P25"},       {-3.5f, "-3P5"},      {11.9996f, "12"},   {0.0004f, "0"},
        {32767.5f, "32767P5"}, {40000, "40000"},     {-70000, "-70000"}, {100000.5f, "100000P5"},
        {1e6f, "1000000"},     {2.0005f, "2P001"},   {std::nanf(""), ""}};
    for (const auto& [value, text] : blank)
        EXPECT_EQ(LayerNumber(value, ZeroForm::kBlank), text) << value;
    for (const float shownAsZero : {0.0f, -0.0f, std::numeric_limits<float>::infinity()})
        EXPECT_EQ(LayerNumber(shownAsZero, ZeroForm::kShown), "0") << shownAsZero;
}

TEST(LayerSuffixes, EachPartOnItsOwn) {
    TranslationState state;
    const std::pair<std::string, const char*> cases[] = {
        {LayerSuffix("_F", 0), ""},         {LayerSuffix("_F", 12.5f), "_F12P5"},
        {LayerSuffix("_Ex", -1), "_Ex-1"},  {ThicknessSuffix(0), ""},
        {ThicknessSuffix(-3.5f), "_Z-3P5"}, {DepthSuffix(state, false), "_Z0"},
        {DepthSuffix(state, true), ""},     {SpindleSuffix(0), ""},
        {SpindleSuffix(18000), "_S18"},     {SpindleSuffix(24), "_S24"},
        {SpindleSuffix(1500), "_S1500"},    {SpindleSuffix(1000), "_S1"},
        {SpindleSuffix(-18000), "_S-18000"}};
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);

    for (const auto& [tag, expected] : {std::pair<PendingTag, const char*>{{"_L", 3}, "_L3"},
                                        {{"_R", 0}, "_R"},
                                        {{"_L", 2.5f}, "_L2P5"},
                                        {{"", 4}, ""}}) {
        PendingTag pending = tag;
        EXPECT_EQ(TakePendingTag(pending), expected);
        EXPECT_EQ(TakePendingTag(pending), "") << "a tag goes into one layer only";
    }
}

TEST(LayerRoute, PartsInTheirOrder) {
    TranslationState state;
    state.routeSeq = "2";
    state.curZ = 18;
    state.toolName = std::string("T3");  // GCC 12 -O3 misreads a char-array assignment here
    state.edgeCode = 1;
    state.feedRate = 5000;
    state.feedDown = 2000;
    state.spindleSpeed = 18000;
    LayerRoots roots;
    state.pendingTag = {"_L", 0};
    EXPECT_EQ(RouteLayerName(state, roots, false, 12.5f),
              "ROUTE2_Z18T3_L_Ex1_FR5000_FD2000_F12P5_S18");
    EXPECT_EQ(RouteLayerName(state, roots, false, 0), "ROUTE2_Z18T3_Ex1_FR5000_FD2000_S18")
        << "the tag was used by the first path";
    EXPECT_EQ(RouteLayerName(state, roots, true, 0), "ROUTE2T3_Ex1_FR5000_FD2000_S18")
        << "depth in vertices: no _Z";
    roots.route = "FRAES";
    state = TranslationState{};
    EXPECT_EQ(RouteLayerName(state, roots, false, 0), "FRAES_Z0");
}

TEST(LayerDrill, ToolPartAndLayer) {
    struct Case {
        const char* tool;
        bool toolNumberToDiameter;
        const char* part;
    };
    const Case cases[] = {{"0512", false, "T5T12"}, {"21", false, "T21"},       {"5", false, ""},
                          {"00", false, ""},        {"-5", false, ""},          {"0512", true, ""},
                          {"051", false, "T5T1"},   {"010304", false, "T1T3T4"}};
    for (const Case& c : cases)
        EXPECT_EQ(DrillToolPart(c.tool, c.toolNumberToDiameter), c.part) << c.tool;
    EXPECT_EQ(DrillLayerName("VBORE", 12, "T21", 0, 0), "VBORE_Z12T21");
    EXPECT_EQ(DrillLayerName("HBORE", 12.5f, "T5T7", -2, 1.25f), "HBORE_Z12P5T5T7_Ex-2_F1P25");
    EXPECT_EQ(DrillLayerName("VBORE", 0, "", 0, 0), "VBORE");
}

TEST(LayerOther, BorderGrooveAndNotation) {
    LayerRoots roots;
    EXPECT_EQ(BorderLayerName(roots, 0), "BORDER");
    EXPECT_EQ(BorderLayerName(roots, 18.5f), "BORDER_Z18P5");
    roots.border = "RAND";
    EXPECT_EQ(BorderLayerName(roots, 19), "RAND_Z19");
    EXPECT_EQ(GrooveLayerName(8, "12"), "GROOVE_Z8T12");
    EXPECT_EQ(GrooveLayerName(-6.5f, ""), "GROOVE_Z-6.5");
    EXPECT_EQ(GrooveLayerName(0.1f, "3"), "GROOVE_Z0.1T3") << "a single in its own digits";
}

TEST(LayerRootSettings, ResolvedFromTheSettingsFile) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("retracer-roots-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Rtrc.INI")
        << "[Config]\nROUTE=WRONG\n[LayerNameRoot]\nROUTE=FRAES\nBORDER=\nVBORE=BOHR\n";
    const LayerRoots roots = LayerRoots::FromSettings(IniFile(folder / "Rtrc.INI"));
    EXPECT_EQ(roots.route, "FRAES");
    EXPECT_EQ(roots.border, "BORDER") << "an empty entry keeps the word";
    EXPECT_EQ(roots.hbore, "HBORE") << "a missing entry keeps the word";
    EXPECT_EQ(roots.vbore, "BOHR");
    EXPECT_EQ(LayerRoots::FromSettings(IniFile(folder / "none.INI")).route, "ROUTE");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace
}  // namespace retracer
