#include "worklist/materials.h"

#include <algorithm>
#include <unordered_set>

#include "base/text_codec.h"

namespace fs = std::filesystem;

namespace retracer {
namespace {

char SeparatorOf(std::string_view line) {
    for (char separator : {'\t', ';', ','})
        if (line.find(separator) != line.npos) return separator;
    return ',';
}

// The second field of a line, quotes resolved and blanks around it removed.
std::string SecondField(std::string_view line) {
    const char separator = SeparatorOf(line);
    std::string field;
    int index = 1;
    std::size_t pos = 0;
    while (pos < line.size() && index <= 2) {
        // Blanks before an opening quote do not count as the field's text.
        std::size_t start = pos;
        while (start < line.size() && line[start] == ' ') ++start;
        if (start < line.size() && line[start] == '"') {
            std::string quoted;
            std::size_t at = start + 1;
            while (at < line.size()) {
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        quoted += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                quoted += line[at++];
            }
            // Whatever follows the closing quote up to the separator belongs to the field too.
            const std::size_t end = std::min(line.find(separator, at), line.size());
            quoted += line.substr(at, end - at);
            if (index == 2) field = quoted;
            pos = end + 1;
        } else {
            const std::size_t end = std::min(line.find(separator, pos), line.size());
            if (index == 2) field = line.substr(pos, end - pos);
            pos = end + 1;
        }
        ++index;
    }
    return std::string(TrimBlanks(field));
}

// The folder as this system writes it: on Windows as stored; elsewhere with "\" turned into
// "/", so a value written by a Windows-minded tool still names the folder it means.
fs::path FolderPath(std::string folder) {
#ifndef _WIN32
    std::replace(folder.begin(), folder.end(), '\\', '/');
#endif
    return fs::path(std::u8string(folder.begin(), folder.end()));
}

}  // namespace

fs::path MaterialTablePath(const UserSettingsStore& store) {
    const std::string executable = store.Get(kNestingApp, kNestingPathsSection,
                                             kNestingExecutableKey, kNestingExecutableDefault);
    const fs::path folder = FolderPath(FolderPart(executable));
    if (!folder.is_absolute()) return {};
    return folder / kMaterialTableName;
}

std::vector<std::string> ParseMaterials(std::string_view text) {
    std::vector<std::string> materials;
    std::unordered_set<std::string> seen;
    ForEachLine(text, [&](std::string_view line) {
        std::string name = SecondField(line);
        if (name.empty() || !seen.insert(name).second) return;
        materials.push_back(std::move(name));
    });
    return materials;
}

std::vector<std::string> LoadMaterials(const fs::path& matDat) {
    std::string text;
    if (matDat.empty() || !ReadTextFile(matDat, text, nullptr)) return {};
    return ParseMaterials(text);
}

std::string MaterialChoiceText(const std::vector<std::string>& materials) {
    std::string joined;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        if (i > 0) joined += '\t';
        joined += materials[i];
    }
    return joined;
}

}  // namespace retracer
