#include "translate/recognition.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <system_error>

#include "base/field_splitter.h"
#include "base/text_codec.h"
#include "base/value_text.h"

namespace retracer {
namespace {

// Recognition looks at the program's head only: this many characters from its second line on.
constexpr std::size_t kHeadCharacters = 1501;

// Drops the last `count` characters (not bytes) of a UTF-8 text.
void DropLastCharacters(std::string& text, int count) {
    for (int i = 0; i < count && !text.empty(); ++i) {
        std::size_t cut = text.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
}

std::size_t CountCharacters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The first `count` characters (not bytes) of a UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

void ReadGenesisHeader(std::string_view firstLine, std::string_view secondLine, bool dimsFromJob,
                       ProgramHeader& header, Recognition& result) {
    FieldSplitter fields;
    fields.Assign(firstLine, "GXYZT");
    if (!dimsFromJob) {
        header.partLength = NumericValue(fields.Field(3));
        header.partWidth = NumericValue(fields.Field(4));
        header.partThickness = NumericValue(fields.Field(5));
    }
    fields.Assign(secondLine, "()");
    header.programComment = std::string(fields.Field(2));
    result.framePD = "Program data   (Genesis)";
}

void ReadGenesisEvHeader(const std::string& head, int allVariables, bool dimsFromJob,
                         ProgramHeader& header, Recognition& result) {
    FieldSplitter fields;
    const std::size_t un = head.find("::UN");
    if (!dimsFromJob && un != std::string::npos) {
        fields.Assign(std::string_view(head).substr(std::min(un + 6, head.size())), "= \r");
        header.partLength = NumericValue(fields.Field(2));
        header.partWidth = NumericValue(fields.Field(4));
        header.partThickness = NumericValue(fields.Field(6));
    }

    fields.Assign(head, "$\r");
    const std::size_t dollar = head.find('$');
    header.programComment.clear();
    if (dollar != std::string::npos && dollar < 49) {
        std::string_view comment = fields.Field(2);
        if (!comment.empty()) comment.remove_prefix(1);
        header.programComment = std::string(comment);
    }
    result.framePD = "Program data   (Genesis Ev)";

    // V variables: "#0=100|width" lines between VARV{ and }VARV.
    bool inVarv = false;
    for (int i = 1; i <= fields.FieldCount(); ++i) {
        std::string field;
        for (char c : fields.Field(i)) {
            if (c != ' ' && c != '\n') field.push_back(c);
        }
        field = std::string(TrimBlanks(field));
        if (field == "}VARV") break;
        if (field == "VARV{") {
            inVarv = true;
            continue;
        }
        if (!inVarv || CountCharacters(field) <= 2) continue;
        std::replace(field.begin(), field.end(), '#', 'V');
        const std::string line(TrimBlanks(std::string_view(field).substr(0, field.find('|'))));
        result.vVars.emplace_back(line.substr(0, 2), line.size() > 3 ? line.substr(3) : "");
        header.vVarSummary += line + " | ";
    }
    if (header.vVarSummary.size() > 3) DropLastCharacters(header.vVarSummary, 3);

    // R variables: the marked lines between VAR{ and }VAR.
    bool inVar = false;
    for (int i = 1; i <= fields.FieldCount(); ++i) {
        std::string_view field = fields.Field(i);
        if (!field.empty() && field.front() == '\n') field.remove_prefix(1);
        if (field == "}VAR") break;
        if (field == "VAR{") {
            inVar = true;
            continue;
        }
        if (!inVar) continue;
        if (field.find("|w|") == std::string_view::npos && allVariables != 1) continue;
        const std::size_t bar = field.find('|');
        if (bar != std::string_view::npos) header.rVarNotes += std::string(field.substr(bar + 1));
        header.rVarNotes += "\u00A6";
        result.rVarLines.emplace_back(field);
        std::string line(field);
        SplitRVarLine(line);
        header.rVarSummary += line + " \u00A6 ";
    }
    if (CountCharacters(header.rVarSummary) > 3) DropLastCharacters(header.rVarSummary, 3);
}

}  // namespace

RVarEntry SplitRVarLine(std::string& line) {
    std::replace(line.begin(), line.end(), '#', 'R');
    FieldSplitter fields;
    fields.Assign(line, "|=");
    RVarEntry entry{std::string(fields.Field(1)), std::string(fields.Field(2)),
                    std::string(fields.Field(3))};
    line = entry.name + "=" + entry.value;
    return entry;
}

std::string PartSizeCaption(const ProgramHeader& header) {
    return header.unitsText + "   L " + GeneralText(header.partLength) + "    H " +
           GeneralText(header.partWidth) + "    T " + GeneralText(header.partThickness);
}

namespace {

using NextLine = std::function<bool(std::string_view&)>;

// Recognises a program from its lines, read as far as the head needs and, to be kept in
// programText, up to `keptLines` of them (wholeText tells whether that was all of them).
Recognition RecognizeLines(const NextLine& next, std::size_t keptLines, std::size_t keptBytes,
                           int allVariables, bool dimsFromJob, ProgramHeader& header) {
    Recognition result;
    header.dialect = Dialect::kNone;
    header.vVarSummary.clear();
    header.rVarSummary.clear();
    header.rVarNotes.clear();

    std::size_t kept = 0;
    bool atEnd = false;
    result.programText.reserve(keptBytes);
    const auto read = [&](std::string_view& line) {
        if (atEnd || !next(line)) {
            atEnd = true;
            return false;
        }
        if (kept < keptLines) {
            result.programText += line;
            result.programText += '\n';
            ++kept;
        }
        return true;
    };

    std::string_view line;
    const std::string firstLine(read(line) ? line : std::string_view());
    FieldSplitter fields;
    fields.Assign(firstLine, "GXYZT");
    const double code = NumericValue(fields.Field(2));
    // Normalised lines: the head is rebuilt with CR LF line ends whatever the file used, so the
    // header reads the same from any of them.
    std::string head;
    std::string secondLine;
    if (code == 71 || code == 70) {
        header.dialect = Dialect::kGenesis;
        header.metricUnits = code == 71;
        if (read(line)) secondLine = line;
    } else {
        while (CountCharacters(head) < kHeadCharacters && read(line)) {
            head += line;
            head += "\r\n";
        }
        head = std::string(FirstCharacters(head, kHeadCharacters));
        if (UpperAscii(head).find("::SIDE=") != std::string::npos) {
            header.dialect = Dialect::kGenesisEv;
            header.metricUnits = head.find("::UNm") != std::string::npos;
        }
    }
    if (header.dialect == Dialect::kNone) {
        result.labDim = "Not a Proper Program File";
        result.programText.clear();
        result.wholeText = false;
        return result;
    }
    header.unitsText = header.metricUnits ? "Metric  " : "Inch    ";

    if (header.dialect == Dialect::kGenesis) {
        ReadGenesisHeader(firstLine, secondLine, dimsFromJob, header, result);
    } else {
        ReadGenesisEvHeader(head, allVariables, dimsFromJob, header, result);
    }
    result.labDim = PartSizeCaption(header);
    result.labCmt = header.programComment;
    result.recognized = true;

    while (kept < keptLines && read(line)) {
    }
    result.wholeText = atEnd || !read(line);
    return result;
}

// Programs up to this size stay in memory once recognised: listed whole and scanned from there.
// Of larger ones only the first lines are kept for the list; the job reads the file in pieces.
constexpr std::uintmax_t kKeptProgramBytes = std::uintmax_t{64} << 20;
constexpr std::size_t kListedLines = 10000;

}  // namespace

Recognition RecognizeProgramText(std::string_view text, int allVariables, bool dimsFromJob,
                                 ProgramHeader& header) {
    LineCursor cursor(text);
    return RecognizeLines([&](std::string_view& line) { return cursor.Next(line); },
                          std::numeric_limits<std::size_t>::max(), text.size(), allVariables,
                          dimsFromJob, header);
}

namespace {

// Recognises a program whose file is open in `lines`, keeping its text when it is small enough.
Recognition RecognizeOpenProgram(const std::filesystem::path& path, TextFileLines& lines,
                                 int allVariables, bool dimsFromJob, ProgramHeader& header) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    const bool keepAll = !ec && size <= kKeptProgramBytes;
    std::string note;
    int number = 0;
    const NextLine next = [&](std::string_view& line) {
        if (!note.empty()) return false;
        switch (lines.Next(line)) {
            case TextFileLines::Status::kLine:
                ++number;
                return true;
            case TextFileLines::Status::kLongLine:
                // The head may still be read from its start; the job refuses the program.
                ++number;
                note = "(line " + std::to_string(number) + " is longer than " +
                       std::to_string(TextFileLines::kMaxLineBytes >> 20) +
                       " MB: the program cannot be translated)";
                return true;
            case TextFileLines::Status::kError:
                note = "(the rest of the program could not be read)";
                return false;
            case TextFileLines::Status::kEnd:
                break;
        }
        return false;
    };
    Recognition result = RecognizeLines(
        next, keepAll ? std::numeric_limits<std::size_t>::max() : kListedLines,
        keepAll ? static_cast<std::size_t>(size) : 0, allVariables, dimsFromJob, header);
    if (!result.recognized) return result;
    if (!note.empty()) {
        result.wholeText = false;
        result.listNote = note;
    } else if (!result.wholeText) {
        result.listNote = "(only the first " + std::to_string(kListedLines) +
                          " lines of this program of " + std::to_string((size + (1 << 19)) >> 20) +
                          " MB are listed)";
    }
    return result;
}

}  // namespace

Recognition RecognizeProgram(const std::filesystem::path& path, int allVariables, bool dimsFromJob,
                             ProgramHeader& header) {
    Recognition failed;
    std::error_code ec;
    const std::filesystem::file_status status =
        path.empty() ? std::filesystem::file_status() : std::filesystem::status(path, ec);
    TextFileLines lines;
    if (!std::filesystem::exists(status)) {
        failed.fileMissing = true;
    } else if (!std::filesystem::is_regular_file(status)) {
        // Only a plain file is opened: a pipe or a device could keep the reader waiting forever.
        failed.readError =
            "Cannot read \"" + path.string() + "\": " +
            (std::filesystem::is_directory(status) ? "it is a folder" : "it is not a file");
    } else if (lines.Open(path, &failed.readError)) {
        return RecognizeOpenProgram(path, lines, allVariables, dimsFromJob, header);
    }
    header.dialect = Dialect::kNone;
    return failed;
}

}  // namespace retracer
