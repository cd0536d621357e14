#include "settings/options.h"

#include <cmath>
#include <filesystem>
#include <limits>

#include "base/value_text.h"

namespace retracer {
namespace {

// Integer fields of the settings file were kept as 16-bit integers: assigning a number rounds
// half to even and anything outside the range is out of the data model, so it is clamped.
std::int16_t ToInt16(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);
    if (rounded <= std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    if (rounded >= std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(rounded);
}

bool IsOn(const IniFile& ini, std::string_view key) {
    return NumericValue(ini.Read(kConfigSection, key)) == 1.0;
}

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
    return folder;
}

}  // namespace

std::string_view OptionKeyName(OptionField option) {
    for (const OptionKey& entry : kOptionKeys)
        if (entry.field == option) return entry.key;
    return {};
}

Settings ReadSettings(const IniFile& ini) {
    Settings settings;
    settings.sourceDir = ini.Read(kConfigSection, kSourceDirKey);
    for (const OptionKey& entry : kOptionKeys) settings.options.*entry.field = IsOn(ini, entry.key);
    settings.allVariables = ToInt16(NumericValue(ini.Read(kConfigSection, "AllVariables")));
    settings.subprogramFolder = WithTrailingSeparator(ini.Read(kConfigSection, "SubPath"));
    settings.destDir = ini.Read(kConfigSection, kDestDirKey);
    return settings;
}

bool WriteOption(IniFile& ini, OptionField option, bool on) {
    const std::string_view key = OptionKeyName(option);
    if (key.empty()) return false;
    return ini.Write(kConfigSection, key, on ? "1" : "0");
}

std::string RootName(const IniFile& ini, std::string_view word) {
    std::string root = ini.Read(kLayerNameRootSection, word);
    return root.empty() ? std::string(word) : root;
}

}  // namespace retracer
