// Recursive-descent parser and evaluator for netlist expressions.
#include "expression.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "sim_error.h"

namespace korvex::sim {

namespace {

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$';
}

double suffixScale(std::string_view text, size_t& used)
{
    used = 0;
    if (text.empty()) return 1.0;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    if (text.size() >= 3 && lower(text[0]) == 'm' && lower(text[1]) == 'e' && lower(text[2]) == 'g') {
        used = 3;
        return 1e6;
    }
    used = 1;
    switch (lower(text[0])) {
    case 'f': return 1e-15;
    case 'p': return 1e-12;
    case 'n': return 1e-9;
    case 'u': return 1e-6;
    case 'm': return 1e-3;
    case 'k': return 1e3;
    case 'g': return 1e9;
    case 't': return 1e12;
    default: used = 0; return 1.0;
    }
}

// Nesting deeper than this is refused rather than risking the stack.
constexpr int kMaxNesting = 256;

struct ExpressionParser {
    std::string_view text;
    size_t pos = 0;
    int line = 0;
    int depth = 0;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw SimError(line, what + " in expression '" + std::string(text) + "'");
    }
    void skipSpace()
    {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    }
    bool accept(std::string_view token)
    {
        skipSpace();
        if (text.substr(pos, token.size()) == token) {
            pos += token.size();
            return true;
        }
        return false;
    }
    static ExprPtr make(ExprNode::Kind kind, ExprPtr a = nullptr, ExprPtr b = nullptr)
    {
        auto node = std::make_unique<ExprNode>();
        node->kind = kind;
        if (a) node->args.push_back(std::move(a));
        if (b) node->args.push_back(std::move(b));
        return node;
    }

    ExprPtr parseAll()
    {
        ExprPtr e = parseSum();
        skipSpace();
        if (pos != text.size()) fail("unexpected '" + std::string(text.substr(pos)) + "'");
        return e;
    }
    // Appends one more operand to a chain node, turning a single operand into a chain first.
    // A parenthesised chain on the left joins the new one: both fold from the left.
    static void extendChain(ExprPtr& left, ExprNode::Kind kind, ExprPtr operand, bool inverted)
    {
        if (left->kind != kind) {
            auto chain = make(kind, std::move(left));
            chain->inverted.push_back(false);
            left = std::move(chain);
        }
        left->args.push_back(std::move(operand));
        left->inverted.push_back(inverted);
    }
    ExprPtr parseSum()
    {
        ExprPtr left = parseProduct();
        for (;;) {
            if (accept("+")) extendChain(left, ExprNode::Kind::Sum, parseProduct(), false);
            else if (accept("-")) extendChain(left, ExprNode::Kind::Sum, parseProduct(), true);
            else return left;
        }
    }
    ExprPtr parseProduct()
    {
        ExprPtr left = parseUnary();
        for (;;) {
            skipSpace();
            if (text.substr(pos, 2) == "**") return left;  // handled by parsePower
            if (accept("*")) extendChain(left, ExprNode::Kind::Product, parseUnary(), false);
            else if (accept("/")) extendChain(left, ExprNode::Kind::Product, parseUnary(), true);
            else return left;
        }
    }
    ExprPtr parseUnary()
    {
        struct Guard {
            int& depth;
            Guard(int& d, const ExpressionParser& p) : depth(d)
            {
                if (++depth > kMaxNesting) p.fail("nesting too deep");
            }
            ~Guard() { --depth; }
        } guard(depth, *this);
        if (accept("-")) return make(ExprNode::Kind::Negate, parseUnary());
        if (accept("+")) return parseUnary();
        return parsePower();
    }
    ExprPtr parsePower()
    {
        ExprPtr base = parsePrimary();
        if (accept("**") || accept("^")) return make(ExprNode::Kind::Pow, std::move(base), parseUnary());
        return base;
    }
    ExprPtr parsePrimary()
    {
        skipSpace();
        if (pos >= text.size()) fail("missing operand");
        if (accept("(")) {
            ExprPtr inner = parseSum();
            if (!accept(")")) fail("missing ')'");
            return inner;
        }
        char c = text[pos];
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            auto node = make(ExprNode::Kind::Number);
            size_t used = scanSpiceNumber(text.substr(pos), node->number);
            if (used == 0) fail("bad number");
            pos += used;
            if (pos < text.size() && isIdentStart(text[pos])) fail("bad number");
            return node;
        }
        if (!isIdentStart(c)) fail("unexpected '" + std::string(1, c) + "'");
        size_t start = pos;
        while (pos < text.size() && isIdentChar(text[pos])) ++pos;
        std::string name(text.substr(start, pos - start));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (accept("(")) {
            auto call = make(ExprNode::Kind::Call);
            call->name = name;
            if (!accept(")")) {
                do call->args.push_back(parseSum());
                while (accept(","));
                if (!accept(")")) fail("missing ')' after arguments of " + name);
            }
            checkCall(*call);
            return call;
        }
        auto node = make(ExprNode::Kind::Name);
        node->name = name;
        return node;
    }
    void checkCall(const ExprNode& call) const
    {
        static const struct { const char* name; int minArgs; int maxArgs; } functions[] = {
            {"sqrt", 1, 1}, {"abs", 1, 1}, {"exp", 1, 1}, {"log", 1, 1}, {"ln", 1, 1}, {"log10", 1, 1},
            {"sin", 1, 1}, {"cos", 1, 1}, {"tan", 1, 1}, {"atan", 1, 1}, {"pow", 2, 2}, {"hypot", 2, 2},
            {"atan2", 2, 2}, {"min", 2, 64}, {"max", 2, 64}, {"table", 3, 1 << 20},
        };
        int count = static_cast<int>(call.args.size());
        for (const auto& f : functions) {
            if (call.name == f.name) {
                if (count < f.minArgs || count > f.maxArgs) fail("wrong number of arguments for " + call.name);
                if (call.name == "table" && count % 2 == 0) fail("table() needs x and pairs of values");
                return;
            }
        }
        fail("unknown function '" + call.name + "'");
    }
};

struct Evaluator {
    const ParamLookup& lookup;
    int line;

    [[noreturn]] void fail(const std::string& what) const { throw SimError(line, what); }
    double checked(double v, const char* what) const
    {
        if (!std::isfinite(v)) fail(std::string(what) + " gives a value that is not finite");
        return v;
    }

    double eval(const ExprNode& e) const
    {
        using K = ExprNode::Kind;
        switch (e.kind) {
        case K::Number: return e.number;
        case K::Name:
            if (e.name == "pi") return M_PI;
            return lookup(e.name);
        case K::Negate: return -eval(*e.args[0]);
        case K::Sum: {
            double sum = eval(*e.args[0]);
            for (size_t i = 1; i < e.args.size(); ++i) {
                const double term = eval(*e.args[i]);
                sum = e.inverted[i] ? sum - term : sum + term;
            }
            return sum;
        }
        case K::Product: {
            double product = eval(*e.args[0]);
            for (size_t i = 1; i < e.args.size(); ++i) {
                const double factor = eval(*e.args[i]);
                if (!e.inverted[i]) {
                    product *= factor;
                    continue;
                }
                if (factor == 0.0) fail("division by zero");
                product = checked(product / factor, "division");
            }
            return product;
        }
        case K::Pow: return checked(std::pow(eval(*e.args[0]), eval(*e.args[1])), "power");
        case K::Call: return call(e);
        }
        return 0.0;
    }

    double call(const ExprNode& e) const
    {
        const std::string& f = e.name;
        if (f == "table") return table(e);
        std::vector<double> a;
        a.reserve(e.args.size());
        for (const auto& arg : e.args) a.push_back(eval(*arg));
        if (f == "sqrt") {
            if (a[0] < 0) fail("sqrt of a negative value");
            return std::sqrt(a[0]);
        }
        if (f == "abs") return std::fabs(a[0]);
        if (f == "exp") return checked(std::exp(a[0]), "exp");
        if (f == "log" || f == "ln" || f == "log10") {
            if (a[0] <= 0) fail(f + " of a value that is not positive");
            return f == "log10" ? std::log10(a[0]) : std::log(a[0]);
        }
        if (f == "sin") return std::sin(a[0]);
        if (f == "cos") return std::cos(a[0]);
        if (f == "tan") return checked(std::tan(a[0]), "tan");
        if (f == "atan") return std::atan(a[0]);
        if (f == "atan2") return std::atan2(a[0], a[1]);
        if (f == "pow") return checked(std::pow(a[0], a[1]), "pow");
        if (f == "hypot") return std::hypot(a[0], a[1]);
        if (f == "min") return *std::min_element(a.begin(), a.end());
        if (f == "max") return *std::max_element(a.begin(), a.end());
        fail("unknown function '" + f + "'");
    }

    // table(x, x1, y1, x2, y2, ...): linear interpolation, clamped outside [x1, xn].
    double table(const ExprNode& e) const
    {
        double x = eval(*e.args[0]);
        size_t pairs = (e.args.size() - 1) / 2;
        std::vector<double> xs(pairs), ys(pairs);
        for (size_t i = 0; i < pairs; ++i) {
            xs[i] = eval(*e.args[1 + 2 * i]);
            ys[i] = eval(*e.args[2 + 2 * i]);
            if (i > 0 && xs[i] < xs[i - 1]) fail("table() x values must ascend");
        }
        if (x <= xs.front()) return ys.front();
        if (x >= xs.back()) return ys.back();
        for (size_t i = 1; i < pairs; ++i) {
            if (x <= xs[i]) {
                double span = xs[i] - xs[i - 1];
                if (span == 0) return ys[i];
                return ys[i - 1] + (ys[i] - ys[i - 1]) * (x - xs[i - 1]) / span;
            }
        }
        return ys.back();
    }
};

}  // namespace

size_t scanSpiceNumber(std::string_view text, double& value)
{
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (pos >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.')) return 0;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    double parsed = 0.0;
    auto result = std::from_chars(begin, text.data() + text.size(), parsed, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(parsed)) return 0;
    size_t used = static_cast<size_t>(result.ptr - text.data());
    size_t suffixUsed = 0;
    double scale = suffixScale(text.substr(used), suffixUsed);
    value = parsed * scale;
    return used + suffixUsed;
}

bool parseSpiceNumber(std::string_view token, double& value)
{
    size_t used = scanSpiceNumber(token, value);
    if (used == 0) return false;
    for (size_t i = used; i < token.size(); ++i)  // trailing unit letters such as "F" or "ohm"
        if (!std::isalpha(static_cast<unsigned char>(token[i]))) return false;
    return true;
}

ExprPtr parseExpression(std::string_view text, int line)
{
    ExpressionParser parser{text, 0, line};
    return parser.parseAll();
}

double evaluateExpression(const ExprNode& expr, const ParamLookup& lookup, int line)
{
    Evaluator evaluator{lookup, line};
    return evaluator.checked(evaluator.eval(expr), "expression");
}

void collectNames(const ExprNode& expr, std::vector<std::string>& names)
{
    if (expr.kind == ExprNode::Kind::Name) names.push_back(expr.name);
    for (const auto& arg : expr.args) collectNames(*arg, names);
}

}  // namespace korvex::sim
