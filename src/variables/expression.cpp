#include "variables/expression.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace retracer {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == kDPlaceholder ||
           c == kEPlaceholder;
}

bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Parser {
  public:
    Parser(std::string_view text, NameResolver resolver) : text_(text), resolver_(resolver) {}

    ExpressionResult Run() {
        ExpressionResult result;
        double value = 0;
        if (ParseBinary(value, kOr, 0)) {
            result.value = value;
            result.consumed = end_;
        }
        result.faults = faults_;
        return result;
    }

  private:
    // Each Parse* returns false, with pos_ unspecified, when no expression starts at pos_.
    // end_ tracks the end of the last successfully parsed operand.

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }

    double Checked(double v) {
        if (!std::isfinite(v)) {
            faults_.overflow = true;
            return 0;
        }
        return v;
    }

    // Binding levels, loosest first; operators of one level associate to the left.
    enum Level { kOr = 0, kAnd, kCompare, kSum, kProduct, kNone };
    enum class Op {
        kOr,
        kAnd,
        kLess,
        kGreater,
        kEqual,
        kLessEqual,
        kGreaterEqual,
        kNotEqual,
        kAdd,
        kSubtract,
        kMultiply,
        kDivide
    };

    // Reads the operator at pos_ (no blanks skipped); returns its level, or kNone.
    Level ReadOperator(Op& op, std::size_t& length) const {
        if (pos_ >= text_.size()) return kNone;
        const char c = text_[pos_];
        const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
        length = 1;
        switch (c) {
            case '|':
                op = Op::kOr;
                return kOr;
            case '&':
                op = Op::kAnd;
                return kAnd;
            case '+':
                op = Op::kAdd;
                return kSum;
            case '-':
                op = Op::kSubtract;
                return kSum;
            case '*':
                op = Op::kMultiply;
                return kProduct;
            case '/':
                op = Op::kDivide;
                return kProduct;
            case '=':
                op = Op::kEqual;
                return kCompare;
            case '<':
                if (next == '=' || next == '>') {
                    op = next == '=' ? Op::kLessEqual : Op::kNotEqual;
                    length = 2;
                } else {
                    op = Op::kLess;
                }
                return kCompare;
            case '>':
                if (next == '=') {
                    op = Op::kGreaterEqual;
                    length = 2;
                } else {
                    op = Op::kGreater;
                }
                return kCompare;
            default:
                return kNone;
        }
    }

    double Apply(Op op, double a, double b) {
        switch (op) {
            case Op::kOr:
                return (a != 0 || b != 0) ? 1.0 : 0.0;
            case Op::kAnd:
                return (a != 0 && b != 0) ? 1.0 : 0.0;
            case Op::kLess:
                return a < b ? 1.0 : 0.0;
            case Op::kGreater:
                return a > b ? 1.0 : 0.0;
            case Op::kEqual:
                return a == b ? 1.0 : 0.0;
            case Op::kLessEqual:
                return a <= b ? 1.0 : 0.0;
            case Op::kGreaterEqual:
                return a >= b ? 1.0 : 0.0;
            case Op::kNotEqual:
                return a != b ? 1.0 : 0.0;
            case Op::kAdd:
                return Checked(a + b);
            case Op::kSubtract:
                return Checked(a - b);
            case Op::kMultiply:
                return Checked(a * b);
            case Op::kDivide:
                if (b == 0) {
                    faults_.divisionByZero = true;
                    return 0;
                }
                return Checked(a / b);
        }
        return 0;
    }

    // Precedence climbing over the binary operators of level minLevel and above. An operator
    // whose right operand is missing ends the expression before that operator.
    bool ParseBinary(double& value, int minLevel, int depth) {
        if (!ParseUnary(value, depth)) return false;
        for (;;) {
            const std::size_t mark = pos_;
            SkipBlanks();
            Op op{};
            std::size_t length = 0;
            const Level level = ReadOperator(op, length);
            if (level == kNone || level < minLevel) {
                pos_ = mark;
                return true;
            }
            pos_ += length;
            double rhs = 0;
            if (!ParseBinary(rhs, level + 1, depth)) {
                pos_ = mark;
                return true;
            }
            value = Apply(op, value, rhs);
        }
    }

    bool ParseUnary(double& value, int depth) {
        // Signs are counted in a loop, so a run of a million minus signs costs no stack.
        bool negate = false;
        for (;;) {
            SkipBlanks();
            if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) {
                if (text_[pos_] == '-') negate = !negate;
                ++pos_;
                continue;
            }
            break;
        }
        if (!ParsePrimary(value, depth)) return false;
        if (negate) value = -value;
        return true;
    }

    bool ParsePrimary(double& value, int depth) {
        if (pos_ >= text_.size()) return false;
        char c = text_[pos_];
        if (IsDigit(c) || (c == '.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) {
            value = ReadNumber();
            end_ = pos_;
            return true;
        }
        if (IsNameStart(c)) {
            std::size_t start = pos_;
            while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
            double v = 0;
            if (!resolver_(text_.substr(start, pos_ - start), v)) v = 0;
            value = Checked(v);
            end_ = pos_;
            return true;
        }
        if (c == '(') {
            if (depth >= kMaxExpressionDepth) {
                faults_.tooDeep = true;
                return false;
            }
            ++pos_;
            if (!ParseBinary(value, kOr, depth + 1)) return false;
            std::size_t mark = pos_;
            SkipBlanks();
            if (pos_ < text_.size() && text_[pos_] == ')') {
                ++pos_;
                end_ = pos_;
            } else {
                pos_ = mark;
            }
            return true;
        }
        return false;
    }

    double ReadNumber() {
        std::size_t start = pos_;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
        }
        std::size_t mantissaEnd = pos_;
        bool hasExponent = false;
        bool negativeExponent = false;
        if (pos_ < text_.size()) {
            char e = text_[pos_];
            if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
                std::size_t p = pos_ + 1;
                if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
                    negativeExponent = text_[p] == '-';
                    ++p;
                }
                if (p < text_.size() && IsDigit(text_[p])) {
                    while (p < text_.size() && IsDigit(text_[p])) ++p;
                    pos_ = p;
                    hasExponent = true;
                }
            }
        }
        std::string_view number = text_.substr(start, pos_ - start);
        double v = 0;
        if (!hasExponent && FastDecimal(number, v)) return v;
        std::from_chars_result r{};
        if (hasExponent && (text_[mantissaEnd] == 'D' || text_[mantissaEnd] == 'd')) {
            std::string copy(number);
            copy[mantissaEnd - start] = 'e';
            r = std::from_chars(copy.data(), copy.data() + copy.size(), v);
        } else {
            r = std::from_chars(number.data(), number.data() + number.size(), v);
        }
        if (r.ec == std::errc::result_out_of_range) {
            // Too small to hold reads as 0; too large is a fault.
            if (!(hasExponent && negativeExponent)) faults_.overflow = true;
            return 0;
        }
        return Checked(v);
    }

    // Up to 15 digits and 22 decimals: the digits as an integer and the power of ten are both
    // exact doubles, so one division gives the correctly rounded value, as from_chars would.
    static bool FastDecimal(std::string_view number, double& v) {
        static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        std::uint64_t mantissa = 0;
        int digits = 0;
        int decimals = 0;
        bool point = false;
        for (char c : number) {
            if (c == '.') {
                point = true;
                continue;
            }
            if (digits == 0 && c == '0') {
                decimals += point;
                continue;
            }
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            decimals += point;
        }
        if (decimals > 22) return false;
        v = static_cast<double>(mantissa) / kPow10[decimals];
        return true;
    }

    std::string_view text_;
    NameResolver resolver_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    EvalFaults faults_;
};

}  // namespace

ExpressionResult EvaluateExpression(std::string_view text, NameResolver resolver) {
    return Parser(text, resolver).Run();
}

}  // namespace retracer
