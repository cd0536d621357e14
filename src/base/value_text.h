#pragma once

#include <string>
#include <string_view>

namespace retracer {

// Lenient reading of the number at the start of a text: blanks, tabs and line feeds are skipped
// anywhere (" 1 2.5" reads 12.5), then an optional sign, digits with at most one decimal point
// and an optional exponent (E, e, D or d, optional sign, digits). Reading stops at the first
// other character. No number, or a number too large to hold, gives 0. Every number stored as
// text is read this way.
double NumericValue(std::string_view text);

// Reads a plain decimal ("-12.5", "300", ".25", "5.") of at most 15 significant digits and 22
// decimals at the start of [p, end), giving exactly the double from_chars gives. Returns where
// it ends, or nullptr when the text is not such a number (from_chars must then decide).
const char* ReadShortDecimal(const char* p, const char* end, double& value);

// True when the whole text, blanks around it aside, is one number that NumericValue reads; the
// number then goes to `value` when given.
bool IsPlainNumber(std::string_view text, double* value = nullptr);

// The general form: the shortest text with up to 15 significant digits (7 for single-precision
// values), no leading blank, exponent form ("1E-05", "1.5E+20") when the decimal exponent is
// below -4 or reaches the number of digits.
std::string GeneralText(double value);
std::string GeneralText(float value);

// The standard conversion: the general form with one leading blank for numbers that are not
// negative (" 5", " 0", "-2.5"). The leading zero of values below 1 is kept (" 0.5").
std::string StandardText(double value);
std::string StandardText(float value);

// Pattern formats built from "0" (a digit that is always shown), "#" (a digit shown only when
// significant) and one optional ".": "###0.###", "0000", "00000", "######.########",
// "########.0####". The value is rounded half away from zero to the pattern's decimals; optional
// trailing zeros are dropped, and so is a decimal point with no digits after it. An all-"#"
// integer part shows nothing for 0 ("####" formats 0 as ""). Negative results keep their sign
// unless they round to zero.
std::string FormatPattern(double value, std::string_view pattern);

// Rounds half away from zero to the given number of decimals on the exact decimal value of the
// double, as a pattern format followed by reading the text back would.
double RoundDecimals(double value, int decimals);

}  // namespace retracer
