#include "base/value_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace retracer {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whole numbers below 2^53 need no rounding: their digits are exact.
bool IsSmallWholeNumber(double value) {
    return std::fabs(value) < 9007199254740992.0 && value == std::trunc(value);
}

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Collects the characters of the leading number (blanks dropped) into `out` as text from_chars
// understands; returns the index just past the last character used.
std::size_t CollectNumber(std::string_view text, std::string& out) {
    std::size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && IsSkipped(text[i])) ++i;
    };
    skip();
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool digits = false;
    bool point = false;
    std::size_t used = 0;
    for (;;) {
        skip();
        if (i >= text.size()) break;
        char c = text[i];
        if (IsDigit(c)) {
            out.push_back(c);
            digits = true;
        } else if (c == '.' && !point) {
            out.push_back(c);
            point = true;
        } else {
            break;
        }
        ++i;
        used = i;
    }
    if (!digits) {
        out.clear();
        return 0;
    }
    if (negative) out.insert(out.begin(), '-');
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        while (j < text.size() && IsSkipped(text[j])) ++j;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent.push_back(text[j++]);
        bool expDigits = false;
        for (;;) {
            while (j < text.size() && IsSkipped(text[j])) ++j;
            if (j >= text.size() || !IsDigit(text[j])) break;
            exponent.push_back(text[j++]);
            expDigits = true;
            used = j;
        }
        if (expDigits) out += exponent;
    }
    return used;
}

double ParseCollected(const std::string& number) {
    double v = 0;
    auto r = std::from_chars(number.data(), number.data() + number.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return 0;
    return v;
}

// Digits and decimal exponent of a value rounded to `significant` digits: value = 0.d1d2... ×
// 10^(exponent+1), written as d1.d2... × 10^exponent.
struct Scientific {
    std::string digits;  // no trailing zeros, at least one digit
    int exponent = 0;
};

Scientific ToScientific(double value, int significant) {
    std::array<char, 64> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                           std::chars_format::scientific, significant - 1);
    std::string_view text(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
    std::size_t e = text.find('e');
    Scientific s;
    for (char c : text.substr(0, e)) {
        if (IsDigit(c)) s.digits.push_back(c);
    }
    while (s.digits.size() > 1 && s.digits.back() == '0') s.digits.pop_back();
    s.exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
    return s;
}

std::string GeneralTextWith(double value, int significant) {
    if (value == 0 || !std::isfinite(value)) return "0";
    // A whole number with no more digits than shown is written as it is.
    if (IsSmallWholeNumber(value) && std::fabs(value) < kPowersOfTen[significant]) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(value));
        return std::string(buf, r.ptr);
    }
    Scientific s = ToScientific(value, significant);
    std::string out = value < 0 ? "-" : "";
    const int digitCount = static_cast<int>(s.digits.size());
    if (s.exponent < -4 || s.exponent >= significant) {
        out += s.digits[0];
        if (digitCount > 1) {
            out += '.';
            out.append(s.digits, 1);
        }
        out += s.exponent < 0 ? "E-" : "E+";
        std::string exp = std::to_string(std::abs(s.exponent));
        if (exp.size() < 2) exp.insert(exp.begin(), '0');
        out += exp;
    } else if (s.exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-s.exponent - 1), '0');
        out += s.digits;
    } else {
        const int intDigits = s.exponent + 1;
        if (digitCount <= intDigits) {
            out += s.digits;
            out.append(static_cast<std::size_t>(intDigits - digitCount), '0');
        } else {
            out.append(s.digits, 0, static_cast<std::size_t>(intDigits));
            out += '.';
            out.append(s.digits, static_cast<std::size_t>(intDigits));
        }
    }
    return out;
}

// The value rounded half away from zero to `decimals`, as plain digits with the decimal point
// implied `decimals` places from the right, and whether it is negative.
struct FixedDigits {
    std::string digits;  // at least decimals + 1 digits
    bool negative = false;
};

FixedDigits RoundToFixed(double value, int decimals) {
    // Below 2^23 a double is within 2^-30 of its shortest decimal; when that decimal has no more
    // places than kept it is the rounded value itself, however the tie rule reads.
    if (std::fabs(value) < 8388608.0 && !IsSmallWholeNumber(value)) {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value));
        const std::string_view shortest(buf, static_cast<std::size_t>(r.ptr - buf));
        const std::size_t point = shortest.find('.');
        if (shortest.find('e') == std::string_view::npos && point != std::string_view::npos &&
            shortest.size() - point - 1 <= static_cast<std::size_t>(decimals)) {
            FixedDigits out;
            out.negative = std::signbit(value);
            out.digits.assign(shortest.substr(0, point));
            out.digits.append(shortest.substr(point + 1));
            out.digits.append(static_cast<std::size_t>(decimals) - (shortest.size() - point - 1),
                              '0');
            return out;
        }
    }
    if (IsSmallWholeNumber(value)) {
        FixedDigits out;
        out.negative = std::signbit(value) && value != 0;
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(std::fabs(value)));
        out.digits.assign(buf, r.ptr);
        out.digits.append(static_cast<std::size_t>(decimals), '0');
        return out;
    }
    // to_chars gives the exact decimal expansion to the precision asked for; 25 digits beyond
    // the ones kept are enough to tell a true tie from a value just either side of it.
    std::array<char, 400> buf{};
    const int extra = 25;
    FixedDigits out;
    out.negative = std::signbit(value);
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                           std::chars_format::fixed, decimals + extra);
    std::string digits;
    for (const char* p = buf.data(); p < r.ptr; ++p) {
        if (IsDigit(*p)) digits.push_back(*p);
    }
    std::size_t keep = digits.size() - static_cast<std::size_t>(extra);
    bool roundUp = digits[keep] >= '5';
    digits.resize(keep);
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
            if (i == 0) digits.insert(digits.begin(), '1');
        }
    }
    while (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(digits.begin(), '0');
    out.digits = std::move(digits);
    if (out.digits.find_first_not_of('0') == std::string::npos) out.negative = false;
    return out;
}

// Whether a number can start here at all (after blanks): a digit, a point or a sign. Most words
// that are not numbers are told apart without collecting anything.
bool MayStartNumber(std::string_view text) {
    for (char c : text) {
        if (IsSkipped(c)) continue;
        return IsDigit(c) || c == '.' || c == '+' || c == '-';
    }
    return false;
}

// The common case, a number written without inner blanks or a D exponent, read without copying.
// Returns false when the slow path must decide.
bool TryReadCompactNumber(std::string_view text, double& value, std::size_t& used) {
    std::size_t i = 0;
    while (i < text.size() && IsSkipped(text[i])) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    const std::size_t start = i;
    if (i < text.size() && text[i] == '-') ++i;
    if (i >= text.size() || !(IsDigit(text[i]) || text[i] == '.')) return false;
    const char* end = text.data() + text.size();
    if (const char* stop = ReadShortDecimal(text.data() + start, end, value)) {
        // Blanks after the number only matter when more of a number follows them ("1 2", "5 E3").
        const char* next = stop;
        while (next < end && IsSkipped(*next)) ++next;
        if (next == end || !(IsDigit(*next) || *next == 'e' || *next == 'E' || *next == 'd' ||
                             *next == 'D' || *next == '.')) {
            used = static_cast<std::size_t>(stop - text.data());
            return true;
        }
        return false;
    }
    auto r = std::from_chars(text.data() + start, end, value);
    if (r.ec != std::errc()) return false;
    if (r.ptr != end) {
        const char next = *r.ptr;
        if (IsSkipped(next) || next == 'e' || next == 'E' || next == 'd' || next == 'D' ||
            next == '.' || IsDigit(next)) {
            return false;
        }
    }
    used = static_cast<std::size_t>(r.ptr - text.data());
    return std::isfinite(value);
}

}  // namespace

// Most numbers in programs are short decimals ("12", "-0.5", "1250.75"). With at most 15
// significant digits and 22 decimals both the digits and the power of ten are exact doubles, so
// one division gives the correctly rounded value, exactly what from_chars gives. Returns where
// the number ends, or nullptr when from_chars must decide (longer numbers, exponents, no digit).
const char* ReadShortDecimal(const char* p, const char* end, double& value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::uint64_t digits = 0;
    int significant = 0;
    int decimals = 0;
    bool any = false;
    bool point = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (IsDigit(c)) {
            any = true;
            if (digits != 0 || c != '0') ++significant;
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            if (point) ++decimals;
            if (significant > 15 || decimals > 22) return nullptr;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) return nullptr;
    const double magnitude = static_cast<double>(digits) / kPowers[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

double NumericValue(std::string_view text) {
    double v = 0;
    std::size_t used = 0;
    if (TryReadCompactNumber(text, v, used)) return v;
    if (!MayStartNumber(text)) return 0;
    std::string number;
    CollectNumber(text, number);
    return number.empty() ? 0 : ParseCollected(number);
}

bool IsPlainNumber(std::string_view text, double* value) {
    double v = 0;
    std::size_t used = 0;
    if (!TryReadCompactNumber(text, v, used)) {
        if (!MayStartNumber(text)) return false;
        std::string number;
        used = CollectNumber(text, number);
        if (number.empty()) return false;
        v = ParseCollected(number);
    }
    if (value != nullptr) *value = v;
    for (std::size_t i = used; i < text.size(); ++i) {
        if (!IsSkipped(text[i]) && text[i] != '\r') return false;
    }
    return true;
}

std::string GeneralText(double value) {
    return GeneralTextWith(value, 15);
}
std::string GeneralText(float value) {
    return GeneralTextWith(static_cast<double>(value), 7);
}

std::string StandardText(double value) {
    std::string text = GeneralText(value);
    return text[0] == '-' ? text : " " + text;
}

std::string StandardText(float value) {
    std::string text = GeneralText(value);
    return text[0] == '-' ? text : " " + text;
}

std::string FormatPattern(double value, std::string_view pattern) {
    if (!std::isfinite(value)) value = 0;
    std::size_t point = pattern.find('.');
    std::string_view intPart = pattern.substr(0, point);
    std::string_view decPart =
        point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);
    int minInt = 0;
    for (char c : intPart) minInt += c == '0';
    int minDec = 0;
    int maxDec = 0;
    for (char c : decPart) {
        if (c == '0' || c == '#') {
            ++maxDec;
            if (c == '0') minDec = maxDec;
        }
    }

    FixedDigits fixed = RoundToFixed(value, maxDec);
    std::string intDigits =
        fixed.digits.substr(0, fixed.digits.size() - static_cast<std::size_t>(maxDec));
    std::string decDigits = fixed.digits.substr(intDigits.size());
    intDigits.erase(0, std::min(intDigits.find_first_not_of('0'), intDigits.size()));
    while (intDigits.size() < static_cast<std::size_t>(minInt))
        intDigits.insert(intDigits.begin(), '0');
    while (decDigits.size() > static_cast<std::size_t>(minDec) && decDigits.back() == '0') {
        decDigits.pop_back();
    }

    std::string out = fixed.negative ? "-" : "";
    out += intDigits;
    if (!decDigits.empty()) {
        out += '.';
        out += decDigits;
    }
    return out;
}

double RoundDecimals(double value, int decimals) {
    if (!std::isfinite(value)) return 0;
    if (IsSmallWholeNumber(value)) return value + 0.0;  // -0 reads as 0, as the digits do
    if (decimals >= 0 && decimals <= 16) {
        // The product carries a rounding error of a few units in its last place; unless that
        // could move it across the .5 boundary, rounding the product picks the same last decimal,
        // and the division then gives the double nearest to that decimal.
        const double scale = kPowersOfTen[decimals];
        const double scaled = value * scale;
        if (std::fabs(scaled) < 0x1p52) {
            const double frac = std::fabs(scaled - std::trunc(scaled));
            const double error = std::fabs(scaled) * 0x1p-50 + 0x1p-60;
            if (std::fabs(frac - 0.5) > error) return std::round(scaled) / scale + 0.0;
        }
    }
    FixedDigits fixed = RoundToFixed(value, decimals);
    const std::size_t intCount = fixed.digits.size() - static_cast<std::size_t>(decimals);
    std::string text = fixed.negative ? "-" : "";
    text.append(fixed.digits, 0, intCount);
    text += '.';
    text.append(fixed.digits, intCount);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

}  // namespace retracer
