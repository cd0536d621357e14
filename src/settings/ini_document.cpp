#include "settings/ini_document.h"

#include "base/text_codec.h"

namespace retracer {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string_view FirstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < utf8.size(); ++n) {
        const std::size_t length = Utf8SequenceLength(utf8.substr(pos));
        pos += length == 0 ? 1 : length;
    }
    return utf8.substr(0, pos);
}

std::string IniDocument::DefaultLineEnd() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

IniDocument::Line IniDocument::MakeLine(std::string text, std::string end) {
    Line line;
    line.text = std::move(text);
    line.end = std::move(end);
    const std::string_view body = TrimBlanks(line.text);
    if (body.empty() || body.front() == ';') return line;
    if (body.front() == '[') {
        std::string_view name = body.substr(1);
        name = name.substr(0, name.find(']'));
        line.kind = Kind::kSection;
        line.name = TrimBlanks(name);
        return line;
    }
    const std::size_t equals = line.text.find('=');
    if (equals == line.text.npos) return line;
    const std::string_view key = TrimBlanks(std::string_view(line.text).substr(0, equals));
    if (key.empty()) return line;
    line.kind = Kind::kEntry;
    line.name = key;
    line.valueStart = line.text.find_first_not_of(" \t", equals + 1);
    if (line.valueStart == line.text.npos) line.valueStart = line.text.size();
    return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    // A UTF-8 mark is written back; any other encoding is rewritten as plain UTF-8.
    doc.byteOrderMark_ = DetectEncoding(bytes) == TextEncoding::kUtf8Bom;
    const std::string decoded = DecodeText(bytes);
    bytes = decoded;
    bool lineEndSeen = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        if (newline == bytes.npos) {
            // A last line ending in CR alone (a file cut after the CR of its CR LF) has that
            // CR as its line end, not as the last character of its value.
            std::string_view last = bytes.substr(pos);
            const bool cr = last.back() == '\r';
            if (cr) last.remove_suffix(1);
            doc.lines_.push_back(MakeLine(std::string(last), cr ? "\r" : ""));
            break;
        }
        std::size_t textEnd = newline;
        if (textEnd > pos && bytes[textEnd - 1] == '\r') --textEnd;
        std::string end(bytes.substr(textEnd, newline + 1 - textEnd));
        if (!lineEndSeen) {
            doc.lineEnd_ = end;
            lineEndSeen = true;
        }
        doc.lines_.push_back(MakeLine(std::string(bytes.substr(pos, textEnd - pos)), end));
        pos = newline + 1;
    }
    return doc;
}

std::string_view IniDocument::ValueOf(const Line& line) const {
    return TrimBlanks(std::string_view(line.text).substr(line.valueStart));
}

std::optional<std::size_t> IniDocument::FindEntry(std::string_view section,
                                                  std::string_view key) const {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::kSection)
            inSection = EqualsIgnoringCase(line.name, section);
        else if (inSection && line.kind == Kind::kEntry && EqualsIgnoringCase(line.name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const auto index = FindEntry(section, key);
    if (!index) return std::nullopt;
    return ValueOf(lines_[*index]);
}

std::vector<std::pair<std::string_view, std::string_view>> IniDocument::Entries(
    std::string_view section) const {
    section = TrimBlanks(section);
    std::vector<std::pair<std::string_view, std::string_view>> entries;
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Kind::kSection) {
            inSection = EqualsIgnoringCase(line.name, section);
            continue;
        }
        if (!inSection || line.kind != Kind::kEntry) continue;
        bool seen = false;
        for (const auto& entry : entries) seen = seen || EqualsIgnoringCase(entry.first, line.name);
        if (!seen) entries.emplace_back(line.name, ValueOf(line));
    }
    return entries;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (section.empty() || HasLineBreak(section) || section.find(']') != section.npos) return false;
    if (key.empty() || HasLineBreak(key) || key.find('=') != key.npos || key.front() == ';' ||
        key.front() == '[')
        return false;
    if (HasLineBreak(value)) return false;

    if (const auto index = FindEntry(section, key)) {
        Line& line = lines_[*index];
        line.text.resize(line.valueStart);
        line.text += value;
        return true;
    }

    std::string entry = std::string(key) + "=" + std::string(value);
    // After the last entry of the first occurrence of the section, so that comments and blank
    // lines that lead into the next section stay where they are.
    std::optional<std::size_t> insertAfter;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::kSection || !EqualsIgnoringCase(lines_[i].name, section))
            continue;
        insertAfter = i;
        for (std::size_t j = i + 1; j < lines_.size() && lines_[j].kind != Kind::kSection; ++j)
            if (lines_[j].kind == Kind::kEntry) insertAfter = j;
        break;
    }
    if (insertAfter) {
        EndLine(lines_[*insertAfter]);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1),
                      MakeLine(std::move(entry), lineEnd_));
        return true;
    }

    if (!lines_.empty()) {
        EndLine(lines_.back());
        if (!TrimBlanks(lines_.back().text).empty()) lines_.push_back(MakeLine("", lineEnd_));
    }
    lines_.push_back(MakeLine("[" + std::string(section) + "]", lineEnd_));
    lines_.push_back(MakeLine(std::move(entry), lineEnd_));
    return true;
}

void IniDocument::EndLine(Line& line) const {
    if (line.end.empty()) line.end = lineEnd_;
    if (line.end == "\r") line.end = "\r\n";
}

std::string IniDocument::Text() const {
    std::string text;
    if (byteOrderMark_) text += kByteOrderMark;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.end;
    }
    return text;
}

}  // namespace retracer
