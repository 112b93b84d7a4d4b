// Splitting a netlist into logical lines and tokens.
#include "netlist_text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "sim_error.h"

namespace korvex::sim {

bool NetlistText::loadFile(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open netlist '" + path + "'";
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = "cannot read netlist '" + path + "'";
        return false;
    }
    loadString(content.str());
    return true;
}

void NetlistText::loadString(std::string text)
{
    original_ = std::move(text);
    lower_ = original_;
    for (char& c : lower_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    split();
}

std::string NetlistText::originalLine(int line) const
{
    if (line < 1 || static_cast<size_t>(line) > lineStarts_.size()) return {};
    size_t start = lineStarts_[line - 1];
    size_t end = original_.find('\n', start);
    if (end == std::string::npos) end = original_.size();
    std::string text = original_.substr(start, std::min<size_t>(end - start, 200));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

void NetlistText::split()
{
    lines_.clear();
    lineStarts_.clear();
    joined_.clear();
    size_t pos = 0;
    const size_t size = lower_.size();
    while (pos < size) {
        lineStarts_.push_back(pos);
        size_t end = lower_.find('\n', pos);
        if (end == std::string::npos) end = size;
        const int number = static_cast<int>(lineStarts_.size());
        std::string_view text(lower_.data() + pos, end - pos);
        if (number == 1) {  // the first line is the title, as in every SPICE deck
            title_ = original_.substr(pos, end - pos);
            while (!title_.empty() && (title_.back() == '\r' || title_.back() == ' ')) title_.pop_back();
            pos = end + 1;
            continue;
        }
        size_t semicolon = text.find(';');
        if (semicolon != std::string_view::npos) text = text.substr(0, semicolon);
        size_t first = 0;
        while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
        text = text.substr(first);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
        if (!text.empty() && text[0] != '*') {
            if (text[0] == '+' && !lines_.empty()) {
                LogicalLine& previous = lines_.back();
                joined_.push_back(std::string(previous.text) + " " + std::string(text.substr(1)));
                previous.text = joined_.back();
            } else {
                lines_.push_back({number, text, pos});
            }
        }
        pos = end + 1;
    }
}

void tokenize(std::string_view text, int line, std::vector<Token>& tokens)
{
    tokens.clear();
    std::vector<std::string_view> pieces;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
            continue;
        }
        size_t start = i;
        int depth = 0;
        while (i < text.size()) {
            c = text[i];
            if (c == '(' || c == '{') ++depth;
            else if (c == ')' || c == '}') {
                if (--depth < 0) throw SimError(line, "unbalanced '" + std::string(1, c) + "'");
            } else if (depth == 0 && (std::isspace(static_cast<unsigned char>(c)) || c == ',')) break;
            ++i;
        }
        if (depth != 0) throw SimError(line, "unbalanced brackets");
        pieces.push_back(text.substr(start, i - start));
    }
    // Join "a = b", "a= b" and "a =b" into one assignment token; views stay within `text`.
    auto span = [&](std::string_view from, std::string_view to) {
        return std::string_view(from.data(), static_cast<size_t>(to.data() + to.size() - from.data()));
    };
    for (size_t k = 0; k < pieces.size(); ++k) {
        std::string_view piece = pieces[k];
        Token token;
        token.text = piece;
        size_t eq = std::string_view::npos;
        int depth = 0;
        for (size_t j = 0; j < piece.size(); ++j) {
            if (piece[j] == '(' || piece[j] == '{') ++depth;
            else if (piece[j] == ')' || piece[j] == '}') --depth;
            else if (piece[j] == '=' && depth == 0) { eq = j; break; }
        }
        if (eq == std::string_view::npos && k + 1 < pieces.size() && pieces[k + 1][0] == '=') {
            std::string_view next = pieces[k + 1];
            token.key = piece;
            if (next.size() > 1) {
                token.value = next.substr(1);
                ++k;
            } else if (k + 2 < pieces.size()) {
                token.value = pieces[k + 2];
                k += 2;
            } else throw SimError(line, "missing value after '" + std::string(piece) + " ='");
            token.text = span(piece, token.value);
            token.assign = true;
        } else if (eq != std::string_view::npos) {
            token.key = piece.substr(0, eq);
            token.value = piece.substr(eq + 1);
            if (token.key.empty()) throw SimError(line, "'=' without a name");
            if (token.value.empty()) {
                if (k + 1 >= pieces.size()) throw SimError(line, "missing value after '" + std::string(piece) + "'");
                token.value = pieces[++k];
                token.text = span(piece, token.value);
            }
            token.assign = true;
        }
        tokens.push_back(token);
    }
}

}  // namespace korvex::sim
