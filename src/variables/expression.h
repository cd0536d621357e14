#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

namespace retracer {

// Non-owning reference to a name resolver, cheap to pass by value. The evaluator calls it for
// every name in an expression; it returns false when it does not know the name (the value then
// reads 0).
class NameResolver {
  public:
    NameResolver() = default;
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, NameResolver>>>
    NameResolver(F& f)  // NOLINT(google-explicit-constructor): used like a function parameter
        : object_(static_cast<void*>(&f)), call_([](void* o, std::string_view name, double& v) {
              return (*static_cast<F*>(o))(name, v);
          }) {}

    bool operator()(std::string_view name, double& value) const {
        return call_ != nullptr && call_(object_, name, value);
    }

  private:
    void* object_ = nullptr;
    bool (*call_)(void*, std::string_view, double&) = nullptr;
};

// What went wrong while evaluating; the value is still defined (a faulty operation gives 0),
// so a job can carry on and report the fault.
struct EvalFaults {
    bool divisionByZero = false;
    bool overflow = false;  // a number or result too large to hold; replaced by 0
    bool tooDeep = false;   // parentheses nested beyond kMaxExpressionDepth

    bool Any() const { return divisionByZero || overflow || tooDeep; }
};

struct ExpressionResult {
    double value = 0;
    std::size_t consumed = 0;  // length of the leading expression that was evaluated
    EvalFaults faults;
};

inline constexpr int kMaxExpressionDepth = 200;

// Internal stand-ins for the letters D and E, so that they are read as variables and never as
// exponent letters. They are single bytes that cannot occur in valid UTF-8 (all text is decoded
// to UTF-8 on input), so they can never collide with anything a user writes. Their values are the
// codes the resolver expects for them.
inline constexpr char kDPlaceholder = '\x8E';  // 142
inline constexpr char kEPlaceholder = '\x8F';  // 143

// Evaluates the longest leading expression of `text` and ignores the rest ("300Y590" is 300,
// "100 Y200" is 100, "" is 0).
//
// Grammar, loosest binding first:
//   or:      and { "|" and }          logical or, true is non-zero, result 1 or 0
//   and:     compare { "&" compare }  logical and
//   compare: sum { op sum }           op: "<=" ">=" "<>" "<" ">" "="; result 1 or 0, exact
//   sum:     product { ("+"|"-") product }
//   product: unary { ("*"|"/") unary }
//   unary:   { "-" | "+" } primary
//   primary: number | name | "(" or [")"]
// Numbers are decimal with an optional exponent introduced by E, e, D or d. Names start with a
// letter, "_" or a placeholder and go on with letters, digits, "_" and placeholders; each is
// passed to the resolver as written. A missing closing parenthesis is supplied where the
// expression ends. An operator without a right operand is not part of the leading expression.
// Division by zero, overflow and over-deep nesting give 0 for the faulty part and are reported
// in the faults; the value is always finite.
ExpressionResult EvaluateExpression(std::string_view text, NameResolver resolver);

}  // namespace retracer
