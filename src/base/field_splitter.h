#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace retracer {

// Holds one text and its fields, cut at a set of separator characters.
//
// Field 1 is the text before the first separator; field i is the text after the (i-1)-th
// separator up to the next one or the end. Every separator counts, so a run of them gives empty
// fields ("a||b" at "|" is "a", "", "b"). A text without separator, the empty text included,
// has exactly one field, so FieldCount() > 1 tells that a separator occurs.
//
// Separators are given as a UTF-8 string, each of its characters a separator. ASCII characters
// are matched through a byte table; a multi-byte character such as U+00A6 "¦" is matched as its
// whole UTF-8 sequence, so it never splits another character that shares a byte with it. A byte
// of the string that is not part of a well-formed sequence separates as that single byte.
//
// The views returned by Field() point into the splitter's own copy of the text and stay valid
// until the text or the separators change. Buffers are kept between texts, so splitting line
// after line allocates nothing once they have grown.
class FieldSplitter {
  public:
    FieldSplitter();  // separators " "

    void SetText(std::string_view text);
    const std::string& Text() const { return text_; }

    // Writing the separators re-splits the current text.
    void SetSeparators(std::string_view separators);
    std::string_view Separators() const { return Set().separators; }

    // Both at once, with one split: for callers that load a fresh line.
    void Assign(std::string_view text, std::string_view separators);

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    // i from 1; an index below 1 or beyond FieldCount() gives "".
    std::string_view Field(int i) const;

  private:
    struct Span {
        std::size_t begin;
        std::size_t end;
    };

    void BuildTable(std::string_view separators);
    void Split();
    void SplitMultiByte();
    std::size_t MatchMultiByte(std::size_t pos) const;

    static constexpr std::uint8_t kSingle = 1;  // the byte itself separates
    static constexpr std::uint8_t kLead = 2;    // the byte may start a multi-byte separator

    // A set of separators ready for splitting. The last few sets are kept: translators cycle
    // through a handful of them on every line, and going back to one costs a comparison.
    struct SeparatorSet {
        std::string separators;
        std::array<std::uint8_t, 256> byteClass{};
        std::vector<std::string> multiByte;  // separators longer than one byte
    };
    static constexpr std::size_t kKeptSets = 4;
    const SeparatorSet& Set() const { return sets_[current_]; }

    std::string text_;
    std::array<SeparatorSet, kKeptSets> sets_{};
    std::size_t current_ = 0;
    std::size_t replaced_ = 0;  // the set built over next
    std::vector<Span> fields_;
};

}  // namespace retracer
