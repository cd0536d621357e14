#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/ini_file.h"

namespace retracer {

// The nine translation options (the Control Panel's check boxes); all off by default.
struct TranslationOptions {
    bool translateOnSelect = false;
    bool saveOnTranslate = false;
    bool toolNumberToDiameter = false;
    bool generateBatchLst = false;
    bool attachBarcode = false;
    bool maintainRtSeq = false;
    bool depthInVertices = false;
    bool renameForHbd = false;
    bool engraveLabel = false;

    bool operator==(const TranslationOptions&) const = default;
};

// An option is named by its field: &TranslationOptions::saveOnTranslate.
using OptionField = bool TranslationOptions::*;

struct OptionKey {
    std::string_view key;
    OptionField field;
};

inline constexpr std::string_view kConfigSection = "Config";
inline constexpr std::string_view kLayerNameRootSection = "LayerNameRoot";
inline constexpr std::string_view kSourceDirKey = "SourceDir";
inline constexpr std::string_view kDestDirKey = "DestDir";

// Settings-file keys of the options, in the order they are read.
inline constexpr std::array<OptionKey, 9> kOptionKeys{{
    {"TranslateOnSelect", &TranslationOptions::translateOnSelect},
    {"SaveOnTranslate", &TranslationOptions::saveOnTranslate},
    {"ToolNumberToDiameter", &TranslationOptions::toolNumberToDiameter},
    {"GenerateBatchLst", &TranslationOptions::generateBatchLst},
    {"AttachBarcode", &TranslationOptions::attachBarcode},
    {"MaintainRtSeq", &TranslationOptions::maintainRtSeq},
    {"DepthInVertices", &TranslationOptions::depthInVertices},
    {"RenameForHBD", &TranslationOptions::renameForHbd},
    {"EngraveLabel", &TranslationOptions::engraveLabel},
}};

// The settings-file key of an option ("" for a field that is not in the table).
std::string_view OptionKeyName(OptionField option);

// What the settings file holds for the installation (section "Config").
struct Settings {
    std::string sourceDir;
    std::string destDir;
    TranslationOptions options;
    std::int16_t allVariables = 0;  // 1 lists every variable line of a program header
    std::string subprogramFolder;   // always ends in a path separator
};

// Reads SourceDir, the options, AllVariables, SubPath and DestDir, in that order. A missing file
// gives empty folders and every option off. An option is on only when its value reads as the
// number 1; the program writes nothing but 0 and 1, and any other hand-edited value is taken as
// off. SubPath gets the platform's separator appended unless it already ends in "\" or "/", so
// an empty or missing SubPath becomes the separator alone, which is what the program has always
// used (the subprogram folder is then the root of the current drive).
Settings ReadSettings(const IniFile& ini);

// Writes the option as "0" or "1" at once. False when it could not be written (or `option` is
// not an option field); the caller carries on regardless.
bool WriteOption(IniFile& ini, OptionField option, bool on);

// The layer-name root to use for one of the built-in roots ("ROUTE", "BORDER", ...): its value in
// the hand-edited section LayerNameRoot, or the word itself when that is missing or empty.
std::string RootName(const IniFile& ini, std::string_view word);

}  // namespace retracer
