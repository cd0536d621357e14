#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace retracer {

// The text of one sectioned key=value file, kept line by line so that changing one value
// rewrites that line only: comments, blank lines, unknown keys, hand-edited sections and the
// line-end style all survive a write byte for byte.
//
// Reading follows the classic Windows profile files: section and key names match without regard
// to ASCII case, blanks around names and values do not count, lines starting with ';' are
// comments, lines before the first section and lines without '=' are ignored. When a section
// appears more than once, its occurrences are searched in order and the first entry found wins;
// a write changes that same entry.
class IniDocument {
  public:
    IniDocument() = default;

    // `bytes` is the file content as read: UTF-8 (with or without a byte-order mark), UTF-16 with
    // its mark, or, when none of these, Windows-1252; everything but UTF-8 is converted. An empty
    // text is an empty file.
    static IniDocument Parse(std::string_view bytes);

    // The value of the first matching entry with blanks around it removed, or nothing when the
    // key is not there. The view lives as long as the document is not changed.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Every entry of the section in file order, names as written; of keys given more than once
    // only the first is listed, since that is the one Find reads.
    std::vector<std::pair<std::string_view, std::string_view>> Entries(
        std::string_view section) const;

    // Sets the value of the entry, creating the section (at the end) and the key (after the
    // section's last entry) when needed. Returns false, changing nothing, for names that a file
    // cannot hold (empty, or a line end, '=' in a key, ']' in a section) or a value with a line
    // end.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as UTF-8, ready to be written.
    std::string Text() const;

    // "\r\n" or "\n": the style of the file's first line end, else the platform's own.
    const std::string& LineEnd() const { return lineEnd_; }

  private:
    enum class Kind { kOther, kSection, kEntry };
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\r\n", "\n", or "" for a last line without one
        Kind kind = Kind::kOther;
        std::string name;            // section name or key, trimmed
        std::size_t valueStart = 0;  // entry: where the value begins, past '=' and blanks
    };

    static Line MakeLine(std::string text, std::string end);
    // Gives the line a full line end before another line is added after it.
    void EndLine(Line& line) const;
    std::string_view ValueOf(const Line& line) const;
    // Index of the first matching entry line, if any.
    std::optional<std::size_t> FindEntry(std::string_view section, std::string_view key) const;

    static std::string DefaultLineEnd();

    std::vector<Line> lines_;
    std::string lineEnd_ = DefaultLineEnd();
    bool byteOrderMark_ = false;
};

// True when `a` and `b` are equal without regard to ASCII case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// `text` without the blanks (spaces and tabs) around it.
std::string_view TrimBlanks(std::string_view text);

// The first `count` characters (code points) of a UTF-8 text.
std::string_view FirstCharacters(std::string_view utf8, std::size_t count);

}  // namespace retracer
