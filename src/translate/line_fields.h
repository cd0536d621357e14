#pragma once

#include <string>
#include <string_view>

#include "base/field_splitter.h"
#include "translate/translation_state.h"

namespace retracer {

// Readers of values from the current program line. Like the scanner they work on, they leave
// the line's separators set to what they last used; a caller that reads fields afterwards sets
// its own separators again.

// The evaluated expression after the first occurrence of `letter`, up to its next occurrence or
// the line end; 0 when the letter does not occur. The separators stay set to the letter, so
// FieldCount() > 1 tells whether the word occurs.
double WordValue(FieldSplitter& line, char letter, TranslationState& state);

// Coordinate words read as plain numbers (no expressions) and mapped by the orientation of the
// program: X and I by length L, Y and J by width H. X and Y follow the position mapping, I, J
// and Q the centre mapping.
// The same for any text: the plain number after the first `letter` (0 when absent), measured
// from the far end for the mappings that mirror its axis (along the length L when
// `alongLength`, else along the width H).
float MappedWord(std::string_view text, char letter, bool alongLength, int mapping,
                 const TranslationState& state);
float GetAwkValX(FieldSplitter& line, const TranslationState& state);
float GetAwkValY(FieldSplitter& line, const TranslationState& state);
float GetAwkValI(FieldSplitter& line, const TranslationState& state);
float GetAwkValJ(FieldSplitter& line, const TranslationState& state);
float GetAwkValQx(FieldSplitter& line, const TranslationState& state);
float GetAwkValQy(FieldSplitter& line, const TranslationState& state);

// The tool of the line as a layer-name part: "_T" and the tool number, where a leading lower-case
// letter stands for 10 to 35 ("a5" gives "_T105"); "" when the line names no tool.
std::string GetTool(FieldSplitter& line);

// The drill tools of the line as concatenated two-digit numbers; "|" means "through" ("0103|07"
// gives "010304050607").
std::string GetDrTool(FieldSplitter& line);

// The comment word of a Genesis Ev line: the text after "W$=" up to " #", trimmed; "" when the
// line has none or the word is not closed by " #".
std::string GetComment(std::string_view text);

// The text without "!" and "~", trimmed of blanks.
std::string RemoveTilde(std::string_view text);

// Rewrites "expression rest" as the value of the expression in its general form immediately
// followed by the rest ("L/2 Y5" with L = 600 gives "300Y5"); "" for an empty text.
std::string FvalA(std::string_view text, TranslationState& state);

// Advances the route sequence number when routes are numbered (the first route gets "1").
void IncRSeq(TranslationState& state, bool maintainRouteSequence);

}  // namespace retracer
