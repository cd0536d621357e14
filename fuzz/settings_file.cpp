// The settings file (Rtrc.INI) as a session loads it, and the document under it. Every entry a
// section lists is the one a look-up finds; a value written reads back, and writing it changes no
// other section.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "drawing/layer_names.h"
#include "fuzz_support.h"
#include "settings/ini_document.h"
#include "settings/ini_file.h"
#include "settings/options.h"

namespace {

using retracer::fuzz::Check;
using Entries = std::vector<std::pair<std::string, std::string>>;

// The section names written in the text, as far as a line starting with "[" shows them.
std::vector<std::string> SectionNames(std::string_view text) {
    std::vector<std::string> names{"Config", "LayerNameRoot"};
    std::size_t pos = 0;
    while (pos < text.size() && names.size() < 16) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = retracer::TrimBlanks(text.substr(pos, end - pos));
        const std::size_t close = line.find(']');
        if (line.size() > 2 && line[0] == '[' && close != std::string_view::npos) {
            names.emplace_back(retracer::TrimBlanks(line.substr(1, close - 1)));
        }
        pos = end + 1;
    }
    return names;
}

Entries Copy(const retracer::IniDocument& document, std::string_view section) {
    Entries copy;
    for (const auto& [key, value] : document.Entries(section)) copy.emplace_back(key, value);
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = retracer::fuzz::AsText(data, size);
    retracer::IniDocument document = retracer::IniDocument::Parse(bytes);
    const std::vector<std::string> sections = SectionNames(bytes);
    for (const std::string& section : sections) {
        for (const auto& [key, value] : document.Entries(section)) {
            const auto found = document.Find(section, key);
            Check(found && *found == value, "section [" + section + "] lists key " +
                                                std::string(key) +
                                                " with another value than a look-up finds");
        }
    }

    std::vector<Entries> others;
    for (const std::string& section : sections) others.push_back(Copy(document, section));
    if (document.Set("Config", "SaveOnTranslate", "1")) {
        const retracer::IniDocument again = retracer::IniDocument::Parse(document.Text());
        const auto value = again.Find("Config", "SaveOnTranslate");
        Check(value && *value == "1", "a value set does not read back from the file's text");
        for (std::size_t i = 0; i < sections.size(); ++i) {
            if (retracer::EqualsIgnoringCase(sections[i], "Config")) continue;
            Check(Copy(again, sections[i]) == others[i],
                  "setting a value in [Config] changed section [" + sections[i] + "]");
        }
    }

    // The session's own reading of the file.
    auto& scratch = retracer::fuzz::PerProcess<retracer::fuzz::ScratchFolder>();
    const std::filesystem::path file = scratch.Path() / "Rtrc.INI";
    retracer::fuzz::WriteFile(file, bytes);
    const retracer::IniFile ini(file);
    const retracer::Settings settings = retracer::ReadSettings(ini);
    const char last = settings.subprogramFolder.empty() ? '\0' : settings.subprogramFolder.back();
    Check(last == '/' || last == '\\', "the subprogram folder does not end in a separator");
    retracer::LayerRoots::FromSettings(ini);
    return 0;
}
