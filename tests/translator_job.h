// Translators' tests: a job in memory, and the usual head of a Genesis Ev test program.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/line_scanner.h"
#include "base/value_text.h"
#include "translate/genesis_ev.h"
#include "translate/genesis_iso.h"

namespace retracer::testing_ev {

// A job in memory for a translator's tests: program text goes through the line scanner into the
// translator (built on the first run, so a test may set the state first), and the drawing is
// read back from the writer.
template <typename Translator>
class TranslatorJob : public ScanHandler {
  public:
    TranslatorJob() {
        writer.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-job-test.dxf");
        writer.StartDrawing();
        EXPECT_EQ(writer.Error(), "");
    }

    // Scans as the job driver does: all conditions true at the start, the route path ended.
    void Run(std::string_view program, std::string file = "TEST.PGM") {
        if (!translator) translator = std::make_unique<Translator>(Context());
        file_ = std::move(file);
        state.condStack.fill(true);
        LineScanner scanner;
        scanner.ScanText(program, *this);
    }
    void LineRead(LineScanner& s) override {
        translator->TranslateLine(s.Current(), file_, s.LineNumber());
        AfterLine();
    }
    void ScanEnd(LineScanner&) override { EndRoutePath(Context().Routes(nullptr)); }
    TranslationContext Context() {
        return TranslationContext{state, job, header, options, tools, roots, writer};
    }
    const std::vector<Entity>& Entities() const { return writer.Content().entities; }

    // "layer: shape; ..." with circles "(x,y)rR" (the radius left out when `radii` is off), lines
    // "x1,y1>x2,y2", polylines "x,y/bulge ..."; the outline's layers only when asked.
    std::string Drawn(bool withOutline = false) const {
        auto n = [](double v) { return FormatPattern(v, "###0.####"); };
        std::string out;
        for (const Entity& e : Entities()) {
            if (!withOutline && e.layer.rfind("BORDER", 0) == 0) continue;
            out += (out.empty() ? "" : "; ") + e.layer + ": ";
            if (const auto* c = std::get_if<CircleEntity>(&e.geometry))
                out += "(" + n(c->centre.x) + "," + n(c->centre.y) + ")" +
                       (radii ? "r" + n(c->radius) : "");
            else if (const auto* l = std::get_if<LineEntity>(&e.geometry))
                out += n(l->start.x) + "," + n(l->start.y) + ">" + n(l->end.x) + "," + n(l->end.y);
            else if (const auto* p = std::get_if<PolylineEntity>(&e.geometry))
                for (std::size_t i = 0; i < p->vertices.size(); ++i)
                    out += (i ? " " : "") + n(p->vertices[i].x) + "," + n(p->vertices[i].y) + "/" +
                           n(p->vertices[i].bulge);
        }
        return out;
    }
    std::string Diagnostics() const {
        std::string out;
        for (const Diagnostic& d : job.diagnostics)
            out += (out.empty() ? "" : "\n") + std::to_string(d.line) + ": " + d.message;
        return out;
    }

    TranslationState state;
    JobState job;
    ProgramHeader header;
    TranslationOptions options;
    ToolTable tools;
    LayerRoots roots;
    DrawingWriter writer{DrawingWriter::Keep::kEntities};
    std::unique_ptr<Translator> translator;
    bool radii = true;

  protected:
    virtual void AfterLine() {}

  private:
    std::string file_;
};

using EvJob = TranslatorJob<GenesisEvTranslator>;

// The usual head of a test program: a part 800 × 600 × 18, machined on its top face.
inline std::string Program(std::string_view body) {
    return "::UNm DL=800 DH=600 DS=18\nSIDE#1{\n" + std::string(body) + "}SIDE\n";
}

}  // namespace retracer::testing_ev
