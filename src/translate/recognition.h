#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "translate/program_header.h"

namespace retracer {

// What recognising a program file found, beyond the header itself: the captions and lists the
// Control Panel shows for it.
struct Recognition {
    bool recognized = false;
    bool fileMissing = false;
    // Why a file that is there could not be read (a folder, no permission, a read error); empty
    // when it was read or is missing.
    std::string readError;
    std::string framePD = "Program data";  // the program data frame's caption
    std::string labDim;                    // units and part size
    std::string labCmt;                    // program comment
    // Genesis Ev variable blocks: V variables as (name, value); the marked R variable lines as
    // written in the VAR block, for the R variable list.
    std::vector<std::pair<std::string, std::string>> vVars;
    std::vector<std::string> rVarLines;
    // The program's lines, each ended by "\n" whatever the file used: all of them when
    // wholeText, else only the first ones and listNote says why (a program too large to keep
    // in memory, a line too long, a read error).
    std::string programText;
    bool wholeText = true;
    std::string listNote;
};

// Recognises the dialect of a program file and reads its header: units and part size (left
// alone when `dimsFromJob`), comment, and for Genesis Ev the VARV and VAR blocks (every R line
// counts as marked when `allVariables` is 1, else only lines carrying "|w|"). The file is
// decoded (UTF-16, UTF-8 or Windows-1252) and its line ends normalised, so a program saved with
// CR LF, LF or CR gives the same result. It is read in pieces: as far as the header needs, and
// for the program's lines, whole up to 64 MB, else its first 10,000 lines.
Recognition RecognizeProgram(const std::filesystem::path& path, int allVariables, bool dimsFromJob,
                             ProgramHeader& header);

// The same on program text already in memory.
Recognition RecognizeProgramText(std::string_view text, int allVariables, bool dimsFromJob,
                                 ProgramHeader& header);

// The caption of the part size: "Metric     L 800    H 600    T 18".
std::string PartSizeCaption(const ProgramHeader& header);

// An R variable line as the R variable list takes it: "#" becomes "R", then name, value and
// description are the fields between "=" and "|" ("#12=500|Shelf height" gives R12, 500 and
// "Shelf height"). The line itself becomes "name=value".
struct RVarEntry {
    std::string name;
    std::string value;
    std::string description;
};
RVarEntry SplitRVarLine(std::string& line);

}  // namespace retracer
