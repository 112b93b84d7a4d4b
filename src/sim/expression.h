// Arithmetic expressions of netlist values and parameters: parsed once into a small tree,
// evaluated many times (every step re-evaluates every parameter).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::sim {

struct ExprNode {
    // Sum and Product hold a whole chain (a - b + c, a / b * c) as one flat node, so long
    // chains neither evaluate nor destroy through a recursion as deep as the chain.
    enum class Kind { Number, Name, Negate, Sum, Product, Pow, Call };
    Kind kind = Kind::Number;
    double number = 0.0;
    std::string name;  // Name: parameter name; Call: function name
    std::vector<std::unique_ptr<ExprNode>> args;
    std::vector<bool> inverted;  // Sum: term subtracted; Product: factor divides (args[1..])
};

using ExprPtr = std::unique_ptr<ExprNode>;

// Looks a parameter up by its (lower-case) name; throws SimError when it is not defined.
using ParamLookup = std::function<double(const std::string&)>;

// Parses an expression (without surrounding braces). Throws SimError(line, ...) on bad syntax,
// unknown functions or wrong argument counts.
ExprPtr parseExpression(std::string_view text, int line);

// Evaluates; division by zero and results that are not finite raise SimError(line, ...).
double evaluateExpression(const ExprNode& expr, const ParamLookup& lookup, int line);

// Collects the parameter names an expression refers to.
void collectNames(const ExprNode& expr, std::vector<std::string>& names);

// Reads a number with an optional engineering suffix (f p n u m k meg g t, trailing unit
// letters ignored) as a whole token. Returns false when the token is not such a number.
bool parseSpiceNumber(std::string_view token, double& value);

// Reads the longest number with suffix at the start of text; returns the characters used (0: none).
size_t scanSpiceNumber(std::string_view text, double& value);

}  // namespace korvex::sim
