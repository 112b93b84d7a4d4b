// Directive lines: .param, .step, .op, .ac, .net, .save, .options.
#include <cctype>

#include "netlist_parser.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

std::string str(std::string_view v) { return std::string(v); }

bool isIdentifier(std::string_view name)
{
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

std::string_view unbrace(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') return text.substr(1, text.size() - 2);
    return text;
}

// "word(inner)" -> inner; empty when the token has another form.
bool splitCall(std::string_view token, std::string_view& word, std::string_view& inner)
{
    size_t open = token.find('(');
    if (open == std::string_view::npos || open == 0 || token.back() != ')') return false;
    word = token.substr(0, open);
    inner = token.substr(open + 1, token.size() - open - 2);
    while (!inner.empty() && inner.front() == ' ') inner.remove_prefix(1);
    while (!inner.empty() && inner.back() == ' ') inner.remove_suffix(1);
    return !inner.empty();
}

void parseParam(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    if (tokens.size() < 2) throw SimError(line, ".param needs name=value");
    for (size_t k = 1; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        if (!t.assign) throw SimError(line, ".param expects name=value, got '" + str(t.text) + "'");
        if (!isIdentifier(t.key)) throw SimError(line, "bad parameter name '" + str(t.key) + "'");
        uint32_t expr = circuit.exprTable.intern(unbrace(t.value), line);
        circuit.params[str(t.key)] = {expr, line};
    }
}

void parseStep(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    if (circuit.step.active) throw SimError(line, "only one .step is supported");
    size_t k = 1;
    if (k < tokens.size() && tokens[k].text == "param") ++k;
    if (k >= tokens.size() || tokens[k].assign || !isIdentifier(tokens[k].text))
        throw SimError(line, ".step needs: param NAME START STOP INCR");
    StepSpec& step = circuit.step;
    step.param = str(tokens[k++].text);
    if (k < tokens.size() && tokens[k].text == "list") {
        step.list = true;
        ++k;
    }
    for (; k < tokens.size(); ++k) {
        if (tokens[k].assign) throw SimError(line, "unexpected '" + str(tokens[k].text) + "' in .step");
        step.args.push_back(circuit.exprTable.intern(unbrace(tokens[k].text), line));
    }
    if (step.list ? step.args.empty() : step.args.size() != 3)
        throw SimError(line, step.list ? ".step list needs values" : ".step needs START STOP INCR");
    step.active = true;
    step.line = line;
}

void parseAc(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    if (circuit.ac || circuit.op) throw SimError(line, "only one analysis (.op or .ac) per netlist");
    if (tokens.size() < 3) throw SimError(line, ".ac needs a sweep type and its values");
    AcSpec& spec = circuit.acSpec;
    std::string_view type = tokens[1].text;
    if (type == "dec") spec.sweep = AcSpec::Sweep::Dec;
    else if (type == "oct") spec.sweep = AcSpec::Sweep::Oct;
    else if (type == "lin") spec.sweep = AcSpec::Sweep::Lin;
    else if (type == "list") spec.sweep = AcSpec::Sweep::List;
    else throw SimError(line, "unknown .ac sweep '" + str(type) + "' (dec, oct, lin or list)");
    for (size_t k = 2; k < tokens.size(); ++k) {
        if (tokens[k].assign) throw SimError(line, "unexpected '" + str(tokens[k].text) + "' in .ac");
        spec.args.push_back(circuit.exprTable.intern(unbrace(tokens[k].text), line));
    }
    if (spec.sweep != AcSpec::Sweep::List && spec.args.size() != 3)
        throw SimError(line, ".ac " + str(type) + " needs POINTS START STOP");
    circuit.ac = true;
    spec.line = line;
}

void parseNet(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    NetSpec net;
    net.line = line;
    std::vector<std::string_view> plain;
    for (size_t k = 1; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        if (t.assign) {
            double value = 0;
            if (!parseSpiceNumber(t.value, value) || value <= 0)
                throw SimError(line, "bad value '" + str(t.value) + "' in .net");
            if (t.key == "rin") net.rin = value;
            else if (t.key == "rout") net.rout = value;
            else throw SimError(line, "unknown .net parameter '" + str(t.key) + "'");
        } else {
            plain.push_back(t.text);
        }
    }
    if (plain.size() == 1) {
        net.source = str(plain[0]);
    } else if (plain.size() == 2) {
        std::string_view word, inner;
        if (!splitCall(plain[0], word, inner) || word != "i")
            throw SimError(line, ".net output must be I(Rname) of the terminating resistor");
        net.output = str(inner);
        net.source = str(plain[1]);
    } else {
        throw SimError(line, ".net expects a source, or I(Rterm) and a source");
    }
    if (net.source[0] != 'v' && net.source[0] != 'i')
        throw SimError(line, ".net source '" + net.source + "' is not a voltage or current source");
    circuit.nets.push_back(std::move(net));
}

void parseSave(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    for (size_t k = 1; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        if (t.assign) throw SimError(line, "unexpected '" + str(t.text) + "' in .save");
        SaveSpec save;
        save.line = line;
        std::string_view word, inner;
        if (splitCall(t.text, word, inner)) {
            if (inner.find(',') != std::string_view::npos || inner.find(' ') != std::string_view::npos)
                throw SimError(line, "differential quantities are not supported: '" + str(t.text) + "'");
            save.target = str(inner);
            if (word == "v") save.kind = SaveSpec::Kind::Voltage;
            else if (word == "i") save.kind = SaveSpec::Kind::Current;
            else if (word == "zin" || word == "s11" || word == "s21" || word == "s12" || word == "s22") {
                save.kind = SaveSpec::Kind::Network;
                save.quantity = str(word);
            } else throw SimError(line, "cannot save '" + str(t.text) + "'");
        } else {
            if (t.text.find_first_of("(){}") != std::string_view::npos)
                throw SimError(line, "cannot save '" + str(t.text) + "'");
            save.kind = SaveSpec::Kind::Voltage;
            save.target = str(t.text);
        }
        circuit.saves.push_back(std::move(save));
    }
}

// ".options numdgt 16", ".options gshunt=1e-12", ".options noopiter"; unknown names are ignored.
void parseOptions(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    for (size_t k = 1; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        std::string_view name = t.assign ? t.key : t.text;
        std::string_view valueText;
        if (t.assign) valueText = t.value;
        else if (k + 1 < tokens.size() && !tokens[k + 1].assign) {
            double dummy;
            if (parseSpiceNumber(tokens[k + 1].text, dummy)) valueText = tokens[++k].text;
        }
        double value = 0;
        if (!valueText.empty() && !parseSpiceNumber(valueText, value))
            throw SimError(line, "bad value '" + str(valueText) + "' for option " + str(name));
        if (name == "gshunt") {
            if (value < 0) throw SimError(line, "Gshunt must not be negative");
            circuit.options.gshunt = value;
        } else if (name == "numdgt") {
            if (!(value >= 0 && value <= 100)) throw SimError(line, "numdgt must lie between 0 and 100");
            circuit.options.numdgt = static_cast<int>(value);
        }
        // noopiter, gminsteps, srcsteps and the like concern nonlinear solving: accepted, no effect.
    }
}

}  // namespace

void addDirective(Circuit& circuit, const std::vector<Token>& tokens, int line)
{
    std::string_view name = tokens[0].text;
    if (name == ".param") parseParam(circuit, tokens, line);
    else if (name == ".step") parseStep(circuit, tokens, line);
    else if (name == ".op") {
        if (circuit.ac || circuit.op) throw SimError(line, "only one analysis (.op or .ac) per netlist");
        if (tokens.size() > 1) throw SimError(line, "unexpected '" + str(tokens[1].text) + "' after .op");
        circuit.op = true;
        circuit.opLine = line;
    } else if (name == ".ac") parseAc(circuit, tokens, line);
    else if (name == ".net") parseNet(circuit, tokens, line);
    else if (name == ".save") parseSave(circuit, tokens, line);
    else if (name == ".options" || name == ".option" || name == ".opt") parseOptions(circuit, tokens, line);
    else throw SimError(line, "unknown directive '" + str(name) + "'");
}

}  // namespace korvex::sim
