#include "translate/value_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace retracer {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

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
    while (digits.size() < static_cast<std::size_t>(decimals) + 1) digits.insert(digits.begin(), '0');
    out.digits = std::move(digits);
    if (out.digits.find_first_not_of('0') == std::string::npos) out.negative = false;
    return out;
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

double NumericValue(std::string_view text) {
    double v = 0;
    std::size_t used = 0;
    if (TryReadCompactNumber(text, v, used)) return v;
    std::string number;
    CollectNumber(text, number);
    return number.empty() ? 0 : ParseCollected(number);
}

bool IsPlainNumber(std::string_view text, double* value) {
    double v = 0;
    std::size_t used = 0;
    if (!TryReadCompactNumber(text, v, used)) {
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

std::string GeneralText(double value) { return GeneralTextWith(value, 15); }
std::string GeneralText(float value) { return GeneralTextWith(static_cast<double>(value), 7); }

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
    std::string intDigits = fixed.digits.substr(0, fixed.digits.size() - static_cast<std::size_t>(maxDec));
    std::string decDigits = fixed.digits.substr(intDigits.size());
    intDigits.erase(0, std::min(intDigits.find_first_not_of('0'), intDigits.size()));
    while (intDigits.size() < static_cast<std::size_t>(minInt)) intDigits.insert(intDigits.begin(), '0');
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
