#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/drawing.h"
#include "translate/label_field.h"

namespace retracer {

// Layer of the strokes in every letter file; the finishing step renames it per label.
inline constexpr std::string_view kLetterLayer = "ELetter";

// Letters are drawn in letter units: capitals 20 units high from the base line at y = 0, each
// starting at x = 0 and no wider than its advance.
inline constexpr double kLetterCapHeight = 20;

// The letter file of a character without its ".DXF": upper-case letters and digits by
// themselves, punctuation by its word ("," gives "Comma"); any other character by itself too,
// which names no file of the library.
std::string LetterFileName(char c);

// How far the cursor moves past a character before the four units of spacing: 2 for "I" and
// ".", 7 for "1", 18 for "-", the previous character's advance for "|", else 15.
double LetterAdvance(char c, double previousAdvance);

// The letter files of one folder, each read once and kept: a run engraves the same few letters
// thousands of times. Safe to share between jobs running at the same time.
class LetterLibrary {
  public:
    explicit LetterLibrary(std::filesystem::path folder) : folder_(std::move(folder)) {}
    LetterLibrary(const LetterLibrary&) = delete;
    LetterLibrary& operator=(const LetterLibrary&) = delete;

    // The letter drawing of `c`, or nullptr when it has no readable letter file.
    const Drawing* Letter(char c) const;
    const std::filesystem::path& Folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    mutable std::mutex mutex_;
    // Drawings are never removed, so the pointers handed out stay valid.
    mutable std::map<std::string, std::unique_ptr<Drawing>> letters_;
};

// Engraves the field's text into `target`: each character's letter file (from `lettersFolder`)
// laid side by side in letter units, scaled by size × width factor across and size up (size =
// the field's height, or 15 / unitDivisor, times 0.05), and placed with its left end at the
// field's X, or its right end there for the mirrored copy. Characters without a file are
// skipped without a gap. Returns the number of entities added, per layer.
std::map<std::string, std::size_t> EngraveText(Drawing& target, const LabelField& field,
                                               double unitDivisor, bool mirrorJob,
                                               const std::filesystem::path& lettersFolder);
std::map<std::string, std::size_t> EngraveText(Drawing& target, const LabelField& field,
                                               double unitDivisor, bool mirrorJob,
                                               const LetterLibrary& letters);

// Engraves every label field whose text is not empty into `drawing`, each on its layer "Route_"
// and the field's tag upper-cased, and empties the field's text. Returns the entities added per
// layer. This is what finishing a written drawing does, for a drawing not yet written.
std::map<std::string, std::size_t> EngraveLabels(Drawing& drawing, std::vector<LabelField>& fields,
                                                 double unitDivisor, bool mirrorJob,
                                                 const LetterLibrary& letters);

// The number, counted from 1, of the first layer named `word` ignoring case; 0 when none is.
int FindLayer(const Drawing& drawing, std::string_view word);

// Renames layer number `layer` (from FindLayer) and moves its entities along; when a layer of
// the new name exists already the two become one. Layer 0 changes nothing.
void RenameLayer(Drawing& drawing, int layer, std::string_view newName);

// Completes a written drawing with the engraving of every label field whose text is not empty:
// engrave, rename the letter layer to "Route_" and the field's tag upper-cased, save the file
// back (atomically) and empty the field's text, so that opening the drawing again engraves
// nothing. A drawing without pending labels is not read or rewritten.
struct FinishResult {
    bool ok = true;      // false: the file could not be read or saved; `error` says why
    bool saved = false;  // the file was rewritten
    std::string error;
    std::map<std::string, std::size_t> addedPerLayer;
};
FinishResult EngravePendingLabels(const std::filesystem::path& file,
                                  std::vector<LabelField>& fields, double unitDivisor,
                                  bool mirrorJob, const std::filesystem::path& lettersFolder);

}  // namespace retracer
