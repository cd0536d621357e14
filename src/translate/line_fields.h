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

// Coordinate words of a line's text read as plain numbers (no expressions; 0 when the letter is
// absent) and mapped by the orientation of the program: X and I along the length L, Y and J
// along the width H, each measured from the far end for the mappings that mirror its axis. X and
// Y follow the position mapping, I, J and Q the centre mapping.
float GetAwkValX(std::string_view text, const TranslationState& state);
float GetAwkValY(std::string_view text, const TranslationState& state);
float GetAwkValI(std::string_view text, const TranslationState& state);
float GetAwkValJ(std::string_view text, const TranslationState& state);
float GetAwkValQx(std::string_view text, const TranslationState& state);
float GetAwkValQy(std::string_view text, const TranslationState& state);

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

// Advances the route sequence number when routes are numbered (the first route gets "1").
void IncRSeq(TranslationState& state, bool maintainRouteSequence);

}  // namespace retracer
