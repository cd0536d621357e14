// A whole translation job on fuzzed program text, and the properties every job keeps.
//
// The input is the main program, then any number of subprograms, each after a marker line
// "%%SUB NAME" (NAME: letters, digits, "_", "-" and "."), written into the SUB folder beside the
// main program where jobs look for them. A line "%%SET Option=1" anywhere turns a translation
// option of the settings file on for the job ("%%SET DepthInVertices=1"). The job runs through the
// same entry points as a Process click: recognition, then TranslateJob. Then:
// - it took time and drew entities within a bound proportional to the input;
// - the drawing was written, and reads back through our DXF reader;
// - no number of a coordinate, radius, bulge or angle in it is NaN or infinite, and no circle or
//   arc has a negative radius (RETRACER_FUZZ_SKIP_FINITE=1 skips this check for local runs);
// - every POLYLINE has vertices and is closed by SEQEND, and no VERTEX stands outside one.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "base/atomic_file.h"
#include "base/prompt.h"
#include "drawing/drawing.h"
#include "drawing/dxf_reader.h"
#include "fuzz_support.h"
#include "job/job_driver.h"
#include "job/session.h"
#include "settings/app_folder.h"
#include "settings/ini_document.h"
#include "settings/options.h"
#include "settings/user_store.h"
#include "translate/genesis_ev.h"
#include "translate/genesis_iso.h"
#include "variables/subprogram_call.h"

namespace retracer::fuzz {

// A session on a scratch application folder, made once per process.
class JobBench {
  public:
    JobBench() {
        const std::filesystem::path app = scratch_.Path() / "app";
        std::filesystem::create_directories(app);
        WriteFile(app / "Tool.Par", "1,0,0,5\n2,32,0,8\n3,64,0,10\n4,96,0,35\n");
        session_ =
            std::make_unique<Session>(ResolveAppPaths({}, app.string().c_str()), prompt_, store_);
        session_->LoadSettings();
        session_->destFolder = scratch_.Path() / "out";
        std::filesystem::create_directories(session_->destFolder);
    }

    const std::filesystem::path& Folder() const { return scratch_.Path(); }
    const Session& GetSession() const { return *session_; }

  private:
    ScratchFolder scratch_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    std::unique_ptr<Session> session_;
};

// Writes the main program and its subprograms; returns the main program's path.
inline std::filesystem::path WriteProgramFiles(std::string_view input,
                                               const std::filesystem::path& folder,
                                               const std::string& mainName,
                                               TranslationOptions& options) {
    constexpr std::string_view kMarker = "%%SUB ";
    constexpr std::string_view kSetMarker = "%%SET ";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder / "SUB", ec);
    Check(!ec, "cannot make the program folder");

    std::filesystem::path file = folder / mainName;
    std::string text;
    auto flush = [&] {
        if (!file.empty()) WriteFile(file, text);
        text.clear();
    };
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::size_t end = input.find('\n', pos);
        end = end == std::string_view::npos ? input.size() : end + 1;
        const std::string_view line = input.substr(pos, end - pos);
        pos = end;
        if (line.substr(0, kSetMarker.size()) == kSetMarker) {
            const std::string_view set = TrimBlanks(line.substr(kSetMarker.size()));
            for (const OptionKey& option : kOptionKeys) {
                if (EqualsIgnoringCase(set.substr(0, set.find('=')), option.key)) {
                    options.*option.field = set.substr(set.find('=') + 1) == "1";
                }
            }
            continue;
        }
        if (line.substr(0, kMarker.size()) != kMarker) {
            text += line;
            continue;
        }
        flush();
        std::string name;
        for (char c : line.substr(kMarker.size())) {
            const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                               (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
            if (plain && name.size() < 40) name += c;
        }
        // "." and ".." would be folders; such a section is dropped.
        file = name.empty() || name == "." || name == ".." ? std::filesystem::path()
                                                           : folder / "SUB" / name;
    }
    flush();
    return folder / mainName;
}

// The DXF's group codes whose values are real numbers: points, distances, angles, extrusions.
inline bool IsRealCode(int code) {
    return (code >= 10 && code <= 59) || (code >= 110 && code <= 149) ||
           (code >= 210 && code <= 239) || (code >= 1010 && code <= 1059);
}

inline double RealValue(std::string_view value, int code) {
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (!(ec == std::errc() && end == value.data() + value.size()))
        Fail("group " + std::to_string(code) + " holds \"" + std::string(value) +
             "\", which is not a number");
    return v;
}

// Walks the DXF's group pairs and checks numbers and polylines. Messages are made only for a
// failure: a drawing has millions of pairs.
inline void CheckDxfText(std::string_view dxf, bool checkFinite) {
    std::string entity;        // the entity the pairs belong to
    bool inPolyline = false;   // between POLYLINE and SEQEND
    std::size_t vertices = 0;  // of the open polyline
    std::size_t pos = 0;
    std::size_t pairs = 0;
    auto nextLine = [&](std::string_view& line) {
        if (pos >= dxf.size()) return false;
        std::size_t end = dxf.find('\n', pos);
        if (end == std::string_view::npos) end = dxf.size();
        line = dxf.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        return true;
    };
    std::string_view codeLine;
    std::string_view value;
    while (nextLine(codeLine)) {
        if (!nextLine(value)) Fail("the DXF ends inside a group pair");
        ++pairs;
        while (!codeLine.empty() && codeLine.front() == ' ') codeLine.remove_prefix(1);
        int code = 0;
        const auto [end, ec] =
            std::from_chars(codeLine.data(), codeLine.data() + codeLine.size(), code);
        if (!(ec == std::errc() && end == codeLine.data() + codeLine.size()))
            Fail("pair " + std::to_string(pairs) + " has no group code: \"" +
                 std::string(codeLine) + "\"");
        if (code == 0) {
            if (inPolyline && value != "VERTEX") {
                if (!(value == "SEQEND"))
                    Fail("a POLYLINE is followed by " + std::string(value) +
                         " instead of VERTEX or SEQEND");
                if (vertices == 0) Fail("a POLYLINE has no vertex");
                inPolyline = false;
            } else if (!inPolyline) {
                if (!(value != "VERTEX" && value != "SEQEND"))
                    Fail(std::string(value) + " outside a POLYLINE");
                if (value == "POLYLINE") {
                    inPolyline = true;
                    vertices = 0;
                }
            }
            if (value == "VERTEX") ++vertices;
            entity = std::string(value);
            continue;
        }
        if (!IsRealCode(code)) continue;
        const double v = RealValue(value, code);
        if (!checkFinite) continue;
        if (!(std::isfinite(v)))
            Fail(entity + ": group " + std::to_string(code) + " is not finite");
        if (code == 40 && (entity == "CIRCLE" || entity == "ARC")) {
            if (v < 0) Fail(entity + " with the negative radius " + std::string(value));
        }
    }
    if (inPolyline) Fail("the DXF ends inside a POLYLINE");
    if (entity != "EOF") Fail("the DXF does not end with EOF");
}

// Generous bounds for a build under ASan and UBSan: a hole row may draw up to its cap of holes
// from one line, and anything a line draws takes a little time.
inline std::size_t LineCount(std::string_view input) {
    std::size_t lines = 1;
    for (char c : input) lines += c == '\n' ? 1 : 0;
    return lines;
}

inline int RunJob(const std::uint8_t* data, std::size_t size, Dialect dialect,
                  const std::string& mainName) {
    auto& bench = PerProcess<JobBench>();
    const Session& session = bench.GetSession();
    const std::string_view input = AsText(data, size);
    Settings settings = session.settings;
    const std::filesystem::path program =
        WriteProgramFiles(input, bench.Folder() / "programs", mainName, settings.options);

    ProgramRecognition recognition = RecognizeJobProgram(settings, program, false, ProgramHeader{});
    if (!recognition.found.recognized || recognition.header.dialect != dialect) return 0;

    JobRequest request;
    request.program = recognition.program;
    request.header = recognition.header;
    request.text = recognition.text;
    request.forceSave = true;
    const JobResources resources{session.paths,         settings,
                                 session.tools,         session.roots,
                                 session.letters.get(), session.destFolder};
    // Processor time of all threads: the wall clock also counts the other programs of a busy
    // machine. libFuzzer's -timeout bounds the wall clock.
    const std::clock_t start = std::clock();
    const JobResult result = TranslateJob(resources, request);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;

    const std::size_t lines = LineCount(input);
    // A line draws at most one hole pattern; subprograms calling each other draw on until the
    // drawing outgrows the files.
    const std::size_t maxEntities = 1000 + lines * static_cast<std::size_t>(kMaxHolesPerLine) +
                                    size * static_cast<std::size_t>(kMaxEntitiesPerProgramByte);
    Check(
        result.entityCount <= maxEntities,
        std::to_string(result.entityCount) + " entities from " + std::to_string(lines) + " lines");
    const double maxSeconds =
        2.0 + 50e-6 * static_cast<double>(result.entityCount) + 1e-3 * static_cast<double>(size);
    Check(seconds <= maxSeconds,
          "the job took " + std::to_string(seconds) + " s of processor time");

    Check(result.written, "the drawing was not written to " + result.output.string());
    std::string dxf;
    std::string error;
    Check(ReadWholeFile(result.output, dxf, &error), "the drawing cannot be read: " + error);
    const char* skip = std::getenv("RETRACER_FUZZ_SKIP_FINITE");
    CheckDxfText(dxf, skip == nullptr || std::string_view(skip) != "1");
    Drawing drawing;
    Check(ReadDxfText(dxf, drawing, error), "the drawing does not read back: " + error);
    Check(drawing.entities.size() <= result.entityCount,
          "the drawing reads back with more entities than the job drew");
    std::error_code ec;
    std::filesystem::remove(result.output, ec);
    return 0;
}

}  // namespace retracer::fuzz
