#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

// Reads a text file line by line in pieces, so that a file of any size is read in a few
// megabytes: each line comes decoded to UTF-8 exactly as ReadTextFile would decode the whole file
// and split as LineCursor splits it. Whether a file without a byte-order mark is UTF-8 or
// Windows-1252 depends on all of its bytes; that is settled at its first byte outside ASCII by a
// quick pass over the rest of the file, so pure ASCII is read once.
class TextFileLines {
  public:
    // A longer line is no program line: it is handed on cut (kLongLine) and the rest skipped.
    static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

    explicit TextFileLines(std::size_t pieceBytes = std::size_t{1} << 20,
                           std::size_t maxLineBytes = kMaxLineBytes);

    // False with a message naming the file (in `error` when given) when it cannot be opened.
    bool Open(const std::filesystem::path& path, std::string* error);

    enum class Status {
        kLine,      // `line` holds the next line without its line end
        kLongLine,  // the next line is longer than the limit: `line` holds its first bytes
        kEnd,       // no more lines
        kError,     // reading failed; Error() says why
    };
    // The next line; `line` stays valid until the next call.
    Status Next(std::string_view& line);

    const std::string& Error() const { return error_; }

  private:
    enum class Mode { kUndecided, kUtf8, kWindows1252, kUtf16Le, kUtf16Be };

    // Finds the next place of one character, searching every byte of the text only once however
    // often it is asked.
    struct Finder {
        char wanted;
        std::size_t at = std::string::npos;  // first `wanted` at or after `from`, else npos
        std::size_t from = 0;
        std::size_t to = 0;  // searched up to here
        std::size_t Find(const std::string& text, std::size_t pos);
        void Dropped(std::size_t count);  // the first `count` bytes of the text went away
    };

    bool Fail(const std::string& reason);
    // Reads and decodes the next piece. False when nothing more could be read (the end was
    // reached before, or reading failed).
    bool Refill();
    // Decodes raw bytes [0, n) into text_; returns how many were used (all of them at the end;
    // otherwise an incomplete sequence at the end waits for the next piece).
    std::size_t Decode(const char* bytes, std::size_t n, bool end);
    // Whether the file from byte `offset` on is well-formed UTF-8.
    bool ValidFrom(std::uint64_t offset);
    std::size_t LineEnd();
    std::string_view Cut(std::string_view line) const;

    std::size_t pieceBytes_;
    std::size_t maxLineBytes_;
    std::filesystem::path path_;
    std::ifstream in_;
    Mode mode_ = Mode::kUndecided;
    std::string raw_;
    std::size_t carried_ = 0;   // undecoded bytes at the start of raw_
    std::uint64_t offset_ = 0;  // file offset of raw_[0]
    bool started_ = false;      // the byte-order mark was looked at
    bool fileDone_ = false;     // every byte was read and decoded
    std::string text_;          // decoded text not yet handed on, from pos_
    std::size_t pos_ = 0;
    bool skipping_ = false;  // inside a long line whose start was handed on
    Finder lf_{'\n'};
    Finder cr_{'\r'};
    std::string error_;
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
