#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace retracer {

// How the bytes of a text file are to be read. Program files, CSV, Mat.dat and Tool.Par come
// from machine editors and old Windows tools, so all of these occur in practice.
enum class TextEncoding {
    kUtf8,         // valid UTF-8 (plain ASCII included), no byte-order mark
    kUtf8Bom,      // starts with the UTF-8 byte-order mark
    kUtf16Le,      // starts with FF FE, or has no mark but NUL high bytes (ASCII text in UTF-16)
    kUtf16Be,      // starts with FE FF, or the same without a mark
    kWindows1252,  // anything else: not valid UTF-8, so read as the Western Windows code page
};

// Decides the encoding from a byte-order mark, else from the NUL bytes of UTF-16 text, else from
// whether the bytes are valid UTF-8.
TextEncoding DetectEncoding(std::string_view bytes);

// Turns the bytes of a text file into UTF-8, dropping a byte-order mark.
//
// The result is always valid UTF-8, whatever the input: a stray byte 0x80-0xBF never stands
// alone in it. Code further on relies on that (the expression evaluator uses lone bytes as
// private placeholders that must not collide with user text). Lone UTF-16 surrogates and an
// odd trailing byte become U+FFFD. A file that declares UTF-8 by its mark but holds invalid
// sequences keeps its valid sequences and reads each stray byte as Windows-1252.
std::string DecodeText(std::string_view bytes);

// Reads a whole file and decodes it with DecodeText. On failure `utf8` is left empty and, when
// `error` is given, it receives a message naming the file and the reason.
bool ReadTextFile(const std::filesystem::path& path, std::string& utf8, std::string* error);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Length (2 to 4, or 1 for ASCII) of the well-formed UTF-8 sequence at the start of `bytes`;
// 0 when it does not start with one (or is empty).
std::size_t Utf8SequenceLength(std::string_view bytes);

// Walks the lines of a text without copying. A line ends at CR LF, LF or a lone CR; the final
// line counts without a line end, a trailing line end adds no empty line, and an empty text has
// no lines. The views point into the text given to the constructor.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text);

    // Stores the next line in `line` and returns true, or returns false after the last one.
    bool Next(std::string_view& line);

  private:
    std::size_t Find(char c) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    // The next LF and CR at or after pos_ (the text's size when there is none), each searched
    // again only once passed, so the whole text is scanned once whatever its line ends.
    std::size_t nextLf_ = 0;
    std::size_t nextCr_ = 0;
};

// The text with a…z made A…Z and every other byte left as it is, whatever the user's locale.
std::string UpperAscii(std::string_view text);

// The text without the spaces at either end (tabs and other blanks are kept).
std::string_view TrimSpaces(std::string_view text);

// The text without the blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

// Calls `visit(std::string_view line)` for every line of `text`, as LineCursor splits them.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
    LineCursor cursor(text);
    std::string_view line;
    while (cursor.Next(line)) visit(line);
}

}  // namespace retracer
