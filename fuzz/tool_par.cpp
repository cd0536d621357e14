// The drill tool table (Tool.Par), from a file as the session loads it, and the tool numbers of
// a drill tool text. Plain ASCII reads the same from the file as from the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "translate/tool_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using retracer::fuzz::Check;
    auto& scratch = retracer::fuzz::PerProcess<retracer::fuzz::ScratchFolder>();
    const std::string_view text = retracer::fuzz::AsText(data, size);
    const std::filesystem::path file = scratch.Path() / "Tool.Par";
    retracer::fuzz::WriteFile(file, text);

    const retracer::ToolTable fromFile = retracer::LoadToolTable(file);
    const bool plainAscii = std::all_of(text.begin(), text.end(), [](char c) {
        return c > 0 && static_cast<unsigned char>(c) < 0x80;
    });
    if (plainAscii) {
        Check(fromFile == retracer::ParseToolTable(text),
              "Tool.Par reads differently from the file and from its text");
    }
    Check(fromFile.Find(retracer::ToolTable::kFirst - 1) == nullptr &&
              fromFile.Find(retracer::ToolTable::kLast + 1) == nullptr,
          "a tool outside the table was found");

    // One tool number per group of two characters.
    const std::string_view toolText = text.substr(0, std::min<std::size_t>(text.find('\n'), 64));
    if (plainAscii) {
        Check(retracer::DrillToolNumbers(toolText).size() == (toolText.size() + 1) / 2,
              "a drill tool text gave another number of tools than it has pairs of characters");
    }
    retracer::NamesDrillTools(toolText);
    return 0;
}
