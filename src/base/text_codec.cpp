#include "base/text_codec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

namespace retracer {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// How much of a file's head tells UTF-16 without a byte-order mark from other text.
constexpr std::size_t kUtf16HeadBytes = 8192;
constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 for 0x80-0x9F; the rest of the upper half equals Latin-1. The five bytes the code
// page leaves undefined map to the C1 control of the same value, so every byte decodes and none
// turns into U+FFFD (a user's file must read back as the same characters each time).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        const char seq[2] = {static_cast<char>(0xC0 | (cp >> 6)),
                             static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(seq, 2);
    } else if (cp < 0x10000) {
        const char seq[3] = {static_cast<char>(0xE0 | (cp >> 12)),
                             static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                             static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(seq, 3);
    } else {
        const char seq[4] = {
            static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(seq, 4);
    }
}

void AppendCp1252(std::string& out, unsigned char byte) {
    AppendUtf8(out, byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte});
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Well-formed sequences as the Unicode standard tables them (no overlongs, no surrogates,
// nothing past U+10FFFF).
std::size_t SequenceLength(const unsigned char* p, std::size_t avail) {
    const unsigned c = p[0];
    if (c < 0x80) return 1;
    if (c < 0xC2) return 0;
    if (c < 0xE0) return avail >= 2 && IsContinuation(p[1]) ? 2 : 0;
    if (c < 0xF0) {
        if (avail < 3) return 0;
        const unsigned lo = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = c == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi && IsContinuation(p[2]) ? 3 : 0;
    }
    if (c < 0xF5) {
        if (avail < 4) return 0;
        const unsigned lo = c == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = c == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi && IsContinuation(p[2]) && IsContinuation(p[3]) ? 4 : 0;
    }
    return 0;
}

// Number of ASCII bytes at the start of [p, p + n), tested a word at a time: program files are
// almost all ASCII, so this loop is where decoding spends its time.
std::size_t AsciiRunLength(const unsigned char* p, std::size_t n) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    while (i + 16 <= n) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, p + i, 8);
        std::memcpy(&b, p + i + 8, 8);
        if ((a | b) & kHighBits) break;
        i += 16;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

// True when [p, p + n) is the start of a well-formed sequence that needs more bytes.
bool IsIncompleteSequence(const unsigned char* p, std::size_t n) {
    if (n == 0) return false;
    const unsigned c = p[0];
    const std::size_t needed = c >= 0xC2 && c <= 0xDF   ? 2
                               : c >= 0xE0 && c <= 0xEF ? 3
                               : c >= 0xF0 && c <= 0xF4 ? 4
                                                        : 0;
    if (needed == 0 || n >= needed) return false;
    if (n > 1) {
        const unsigned lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (p[1] < lo || p[1] > hi) return false;
    }
    return n <= 2 || IsContinuation(p[2]);
}

std::size_t ValidUtf8Prefix(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        i += AsciiRunLength(p + i, n - i);
        if (i == n) break;
        const std::size_t len = SequenceLength(p + i, n - i);
        if (len == 0) return i;
        i += len;
    }
    return n;
}

// Windows-1252 for every non-ASCII byte, or, with `keep_utf8`, only for bytes that do not start
// a well-formed UTF-8 sequence.
std::string DecodeSingleBytes(std::string_view bytes, bool keep_utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::string out;
    out.reserve(n + n / 2);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t run = AsciiRunLength(p + i, n - i);
        out.append(bytes.data() + i, run);
        i += run;
        if (i == n) break;
        const std::size_t len = keep_utf8 ? SequenceLength(p + i, n - i) : 0;
        if (len > 0) {
            out.append(bytes.data() + i, len);
            i += len;
        } else {
            AppendCp1252(out, p[i]);
            ++i;
        }
    }
    return out;
}

std::string DecodeUtf16(std::string_view bytes, bool big_endian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const auto unit = [p, big_endian](std::size_t k) -> char32_t {
        return big_endian ? (char32_t{p[k]} << 8) | p[k + 1] : (char32_t{p[k + 1]} << 8) | p[k];
    };
    std::string out;
    out.reserve(n);
    std::size_t i = 0;
    while (i + 1 < n) {
        const char32_t u = unit(i);
        i += 2;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0xD800 || u > 0xDFFF) {
            AppendUtf8(out, u);
        } else if (u <= 0xDBFF && i + 1 < n && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i) - 0xDC00));
            i += 2;
        } else {
            AppendUtf8(out, kReplacement);  // a surrogate without its partner
        }
    }
    if (i < n) AppendUtf8(out, kReplacement);  // half a code unit at the end
    return out;
}

std::string Decode(std::string_view bytes, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf8:
            return std::string(bytes);
        case TextEncoding::kUtf8Bom: {
            const std::string_view body = bytes.substr(kUtf8Bom.size());
            return IsValidUtf8(body) ? std::string(body) : DecodeSingleBytes(body, true);
        }
        case TextEncoding::kUtf16Le:
            return DecodeUtf16(bytes.substr(bytes.starts_with("\xFF\xFE") ? 2 : 0), false);
        case TextEncoding::kUtf16Be:
            return DecodeUtf16(bytes.substr(bytes.starts_with("\xFE\xFF") ? 2 : 0), true);
        case TextEncoding::kWindows1252:
            break;
    }
    return DecodeSingleBytes(bytes, false);
}

// A file already in UTF-8 (the common case) hands its buffer back instead of being copied.
std::string DecodeOwned(std::string bytes) {
    const TextEncoding encoding = DetectEncoding(bytes);
    if (encoding == TextEncoding::kUtf8) return bytes;
    const std::string_view view = bytes;
    if (encoding == TextEncoding::kUtf8Bom && IsValidUtf8(view.substr(kUtf8Bom.size()))) {
        bytes.erase(0, kUtf8Bom.size());
        return bytes;
    }
    return Decode(bytes, encoding);
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    return ValidUtf8Prefix(bytes) == bytes.size();
}

std::size_t Utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    return SequenceLength(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TextEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) return TextEncoding::kUtf8Bom;
    if (bytes.starts_with("\xFF\xFE")) return TextEncoding::kUtf16Le;
    if (bytes.starts_with("\xFE\xFF")) return TextEncoding::kUtf16Be;
    // Without a mark, UTF-16 shows itself in its head: program text is mostly ASCII, so the high
    // byte of nearly every code unit is NUL while the low byte never is. Text with a stray NUL
    // here and there is far from that.
    const std::size_t units = std::min(bytes.size(), kUtf16HeadBytes) / 2;
    if (units >= 2) {
        std::size_t evenNuls = 0;
        std::size_t oddNuls = 0;
        for (std::size_t k = 0; k < units; ++k) {
            evenNuls += bytes[2 * k] == '\0';
            oddNuls += bytes[2 * k + 1] == '\0';
        }
        if (evenNuls == 0 && oddNuls * 4 >= units * 3) return TextEncoding::kUtf16Le;
        if (oddNuls == 0 && evenNuls * 4 >= units * 3) return TextEncoding::kUtf16Be;
    }
    return IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kWindows1252;
}

std::string DecodeText(std::string_view bytes) {
    return Decode(bytes, DetectEncoding(bytes));
}

bool ReadTextFile(const std::filesystem::path& path, std::string& utf8, std::string* error) {
    utf8.clear();
    const auto fail = [&](const std::string& reason) {
        if (error) *error = "Cannot read \"" + path.string() + "\": " + reason;
        return false;
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return fail("it is a folder");

    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int code = errno;
        return fail(code != 0 ? std::generic_category().message(code) : "cannot open the file");
    }
    std::string bytes;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > 0) {
        bytes.resize(static_cast<std::size_t>(size));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    // Whatever the size said (a file still growing, a pipe), read on to the real end.
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return fail("read error");
    utf8 = DecodeOwned(std::move(bytes));
    return true;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

LineCursor::LineCursor(std::string_view text)
    : text_(text), nextLf_(Find('\n')), nextCr_(Find('\r')) {}

std::size_t LineCursor::Find(char c) const {
    const void* found = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
    return found != nullptr
               ? static_cast<std::size_t>(static_cast<const char*>(found) - text_.data())
               : text_.size();
}

bool LineCursor::Next(std::string_view& line) {
    const std::size_t n = text_.size();
    if (pos_ >= n) return false;
    if (nextLf_ < pos_) nextLf_ = Find('\n');
    if (nextCr_ < pos_) nextCr_ = Find('\r');
    std::size_t end = std::min(nextLf_, nextCr_);
    line = text_.substr(pos_, end - pos_);
    if (end == nextCr_ && end + 1 < n && text_[end + 1] == '\n') ++end;
    pos_ = end + 1;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading a file line by line

std::size_t TextFileLines::Finder::Find(const std::string& text, std::size_t pos) {
    if (pos < from || (at != std::string::npos && at < pos)) {
        at = std::string::npos;
        to = pos;
    }
    from = pos;
    if (at == std::string::npos && to < text.size()) {
        const void* found = std::memchr(text.data() + to, wanted, text.size() - to);
        at = found != nullptr
                 ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                 : std::string::npos;
        to = text.size();
    }
    return at;
}

void TextFileLines::Finder::Dropped(std::size_t count) {
    if (at != std::string::npos && at < count) {
        at = std::string::npos;
        from = to = 0;
        return;
    }
    if (at != std::string::npos) at -= count;
    from = from > count ? from - count : 0;
    to = to > count ? to - count : 0;
}

TextFileLines::TextFileLines(std::size_t pieceBytes, std::size_t maxLineBytes)
    : pieceBytes_(std::max<std::size_t>(pieceBytes, 1)), maxLineBytes_(maxLineBytes) {}

bool TextFileLines::Fail(const std::string& reason) {
    error_ = "Cannot read \"" + path_.string() + "\": " + reason;
    return false;
}

bool TextFileLines::Open(const std::filesystem::path& path, std::string* error) {
    path_ = path;
    std::error_code ec;
    bool opened = false;
    if (std::filesystem::is_directory(path, ec)) {
        Fail("it is a folder");
    } else {
        errno = 0;
        in_.open(path, std::ios::binary);
        const int code = errno;
        opened = in_.is_open();
        if (!opened)
            Fail(code != 0 ? std::generic_category().message(code) : "cannot open the file");
    }
    if (!opened && error != nullptr) *error = error_;
    return opened;
}

bool TextFileLines::Refill() {
    if (fileDone_ || !error_.empty() || !in_.is_open()) return false;
    // The encoding is told from the file's head (or the whole of a shorter file), as it is when
    // the whole file is decoded at once.
    std::size_t n = carried_;
    bool end = false;
    do {
        raw_.resize(n + pieceBytes_);
        in_.read(raw_.data() + n, static_cast<std::streamsize>(pieceBytes_));
        const auto got = static_cast<std::size_t>(in_.gcount());
        n += got;
        end = in_.eof();
        if (in_.bad() || (got == 0 && !end)) return Fail("read error");
    } while (!started_ && n < kUtf16HeadBytes && !end);

    std::size_t used = 0;
    if (!started_) {
        started_ = true;
        const std::string_view head(raw_.data(), std::min<std::size_t>(n, 3));
        if (head.starts_with(kUtf8Bom)) {
            mode_ = Mode::kUtf8;
            used = kUtf8Bom.size();
        } else if (head.starts_with("\xFF\xFE")) {
            mode_ = Mode::kUtf16Le;
            used = 2;
        } else if (head.starts_with("\xFE\xFF")) {
            mode_ = Mode::kUtf16Be;
            used = 2;
        } else {
            const TextEncoding encoding =
                DetectEncoding(std::string_view(raw_.data(), std::min(n, kUtf16HeadBytes)));
            if (encoding == TextEncoding::kUtf16Le) mode_ = Mode::kUtf16Le;
            if (encoding == TextEncoding::kUtf16Be) mode_ = Mode::kUtf16Be;
        }
    }
    // What was handed on goes; the line being read moves to the front.
    text_.erase(0, pos_);
    lf_.Dropped(pos_);
    cr_.Dropped(pos_);
    pos_ = 0;
    used += Decode(raw_.data() + used, n - used, end);
    if (!error_.empty()) return false;
    carried_ = n - used;
    std::memmove(raw_.data(), raw_.data() + used, carried_);
    offset_ += used;
    fileDone_ = end;
    return true;
}

std::size_t TextFileLines::Decode(const char* bytes, std::size_t n, bool end) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (mode_ == Mode::kUtf16Le || mode_ == Mode::kUtf16Be) {
        const bool big = mode_ == Mode::kUtf16Be;
        const auto unit = [p, big](std::size_t k) -> char32_t {
            return big ? (char32_t{p[k]} << 8) | p[k + 1] : (char32_t{p[k + 1]} << 8) | p[k];
        };
        std::size_t i = 0;
        while (i + 1 < n) {
            const char32_t u = unit(i);
            if (u < 0xD800 || u > 0xDFFF) {
                AppendUtf8(text_, u);
                i += 2;
            } else if (u <= 0xDBFF && i + 3 < n && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
                AppendUtf8(text_, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
                i += 4;
            } else if (u <= 0xDBFF && i + 3 >= n && !end) {
                break;  // its partner may come with the next piece
            } else {
                AppendUtf8(text_, kReplacement);  // a surrogate without its partner
                i += 2;
            }
        }
        if (!end) return i;
        if (i < n) AppendUtf8(text_, kReplacement);  // half a code unit at the end
        return n;
    }

    std::size_t i = 0;
    while (i < n) {
        const std::size_t run = AsciiRunLength(p + i, n - i);
        text_.append(bytes + i, run);
        i += run;
        if (i == n) break;
        if (mode_ == Mode::kUndecided) {
            // Everything before was ASCII, so the rest of the file decides.
            mode_ = ValidFrom(offset_ + static_cast<std::uint64_t>(bytes - raw_.data() +
                                                                   static_cast<std::ptrdiff_t>(i)))
                        ? Mode::kUtf8
                        : Mode::kWindows1252;
            if (!error_.empty()) return i;
        }
        const std::size_t len = mode_ == Mode::kUtf8 ? SequenceLength(p + i, n - i) : 0;
        if (len > 0) {
            text_.append(bytes + i, len);
            i += len;
        } else if (mode_ == Mode::kUtf8 && !end && IsIncompleteSequence(p + i, n - i)) {
            break;  // the rest of the sequence comes with the next piece
        } else {
            AppendCp1252(text_, p[i]);
            ++i;
        }
    }
    return i;
}

bool TextFileLines::ValidFrom(std::uint64_t offset) {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return Fail("cannot open the file again");
    in.seekg(static_cast<std::streamoff>(offset));
    std::string buffer;
    std::size_t carried = 0;
    for (;;) {
        buffer.resize(carried + pieceBytes_);
        in.read(buffer.data() + carried, static_cast<std::streamsize>(pieceBytes_));
        const std::size_t n = carried + static_cast<std::size_t>(in.gcount());
        if (in.bad()) return Fail("read error");
        const bool end = in.eof();
        const std::size_t valid = ValidUtf8Prefix(std::string_view(buffer.data(), n));
        const auto* rest = reinterpret_cast<const unsigned char*>(buffer.data()) + valid;
        if (valid < n && (end || !IsIncompleteSequence(rest, n - valid))) return false;
        if (end) return true;
        carried = n - valid;
        std::memmove(buffer.data(), buffer.data() + valid, carried);
    }
}

std::size_t TextFileLines::LineEnd() {
    return std::min(lf_.Find(text_, pos_), cr_.Find(text_, pos_));
}

std::string_view TextFileLines::Cut(std::string_view line) const {
    if (line.size() <= maxLineBytes_) return line;
    std::size_t cut = maxLineBytes_;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return line.substr(0, cut);
}

TextFileLines::Status TextFileLines::Next(std::string_view& line) {
    line = {};
    for (;;) {
        if (!error_.empty()) return Status::kError;
        const std::size_t end = LineEnd();
        // A CR at the end of what is decoded may be the first half of CR LF.
        if (end != std::string::npos &&
            (text_[end] == '\n' || end + 1 < text_.size() || fileDone_)) {
            const std::size_t next =
                end + 1 +
                (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 1 : 0);
            const std::string_view whole(text_.data() + pos_, end - pos_);
            pos_ = next;
            if (skipping_) {
                skipping_ = false;
                continue;
            }
            line = Cut(whole);
            return line.size() < whole.size() ? Status::kLongLine : Status::kLine;
        }
        if (end == std::string::npos && fileDone_) {
            if (pos_ >= text_.size() || skipping_) return Status::kEnd;
            const std::string_view whole(text_.data() + pos_, text_.size() - pos_);
            pos_ = text_.size();
            line = Cut(whole);
            return line.size() < whole.size() ? Status::kLongLine : Status::kLine;
        }
        if (end == std::string::npos && text_.size() - pos_ > maxLineBytes_) {
            if (skipping_) {
                pos_ = text_.size();  // the middle of a long line: dropped
            } else {
                line = Cut(std::string_view(text_.data() + pos_, text_.size() - pos_));
                pos_ += line.size();
                skipping_ = true;
                return Status::kLongLine;
            }
        }
        if (!Refill() && !error_.empty()) return Status::kError;
    }
}

}  // namespace retracer
