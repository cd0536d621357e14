// The field splitter: the first line holds the separators, the rest is the text. The fields
// must tile the text: field 1 starts it, each next one starts right after one separator
// character, the last one ends it, and no field holds a separator.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/field_splitter.h"
#include "fuzz_support.h"

namespace {

using retracer::fuzz::Check;

// Length of the well-formed UTF-8 sequence starting `text` (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing beyond U+10FFFF), 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
    auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    auto within = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
    const unsigned b0 = byte(0);
    if (b0 < 0x80) return text.empty() ? 0 : 1;
    if (within(b0, 0xC2, 0xDF)) return within(byte(1), 0x80, 0xBF) ? 2 : 0;
    if (within(b0, 0xE0, 0xEF)) {
        const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = b0 == 0xED ? 0x9F : 0xBF;
        return within(byte(1), low, high) && within(byte(2), 0x80, 0xBF) ? 3 : 0;
    }
    if (within(b0, 0xF0, 0xF4)) {
        const unsigned low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned high = b0 == 0xF4 ? 0x8F : 0xBF;
        return within(byte(1), low, high) && within(byte(2), 0x80, 0xBF) &&
                       within(byte(3), 0x80, 0xBF)
                   ? 4
                   : 0;
    }
    return 0;
}

// Length of the separator at `pos` of `text`, 0 when none starts there: the longest separator
// character that matches, a byte outside a well-formed sequence counting as a character alone.
std::size_t SeparatorAt(std::string_view text, std::size_t pos, std::string_view separators) {
    std::size_t longest = 0;
    for (std::size_t i = 0; i < separators.size();) {
        const std::size_t length = std::max<std::size_t>(SequenceLength(separators.substr(i)), 1);
        if (text.substr(pos, length) == separators.substr(i, length)) {
            longest = std::max(longest, length);
        }
        i += length;
    }
    return longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = retracer::fuzz::AsText(data, size);
    const std::size_t firstEnd = std::min(input.find('\n'), input.size());
    const std::string_view separators = input.substr(0, firstEnd);
    const std::string_view text = input.substr(std::min(firstEnd + 1, input.size()));

    retracer::FieldSplitter splitter;
    splitter.Assign(text, separators);
    const std::string& held = splitter.Text();
    Check(held == text, "the splitter does not hold the text it was given");
    Check(splitter.FieldCount() >= 1, "a text has no field");
    std::string ascii;  // the single-byte separators, which no field may hold
    for (char c : separators) {
        if (static_cast<unsigned char>(c) < 0x80) ascii += c;
    }
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (int i = 1; i <= splitter.FieldCount(); ++i) {
        const std::string_view field = splitter.Field(i);
        fields.emplace_back(field);
        Check(ascii.empty() || field.find_first_of(ascii) == std::string_view::npos,
              "field " + std::to_string(i) + " holds a separator");
        Check(field.data() == held.data() + at,
              "field " + std::to_string(i) + " is not where the text goes on");
        at += field.size();
        if (i < splitter.FieldCount()) {
            const std::size_t separator = SeparatorAt(held, at, separators);
            Check(separator > 0, "field " + std::to_string(i) + " is not ended by a separator");
            at += separator;
        }
    }
    Check(at == held.size(), "the fields do not reach the end of the text");
    Check(splitter.Field(0).empty() && splitter.Field(splitter.FieldCount() + 1).empty(),
          "a field outside the count is not empty");

    // The same text split again after other separators gives the same fields.
    splitter.SetSeparators(" ");
    splitter.SetSeparators(separators);
    Check(splitter.Text() == text, "changing the separators changed the text");
    Check(splitter.FieldCount() == static_cast<int>(fields.size()),
          "the same separators gave another field count");
    for (int i = 1; i <= splitter.FieldCount(); ++i) {
        Check(splitter.Field(i) == fields[static_cast<std::size_t>(i - 1)],
              "the same separators gave another field " + std::to_string(i));
    }
    return 0;
}
