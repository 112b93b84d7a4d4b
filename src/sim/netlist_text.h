// The netlist as text: the file buffer, logical lines (comments removed, '+' continuations
// joined, lower case) and the tokens of one line.
#pragma once
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::sim {

// One token of a line. "name=value" (also written "name = value") is one assignment token.
struct Token {
    std::string_view text;   // the whole token as written (lower case)
    std::string_view key;    // assignment: the name left of '='
    std::string_view value;  // assignment: the text right of '='
    bool assign = false;
};

struct LogicalLine {
    int line = 0;           // number of the first physical line (1-based)
    std::string_view text;  // lower case, comments removed, continuations joined
};

class NetlistText {
public:
    // Reads a file; false with a message when it cannot be read.
    bool loadFile(const std::string& path, std::string& error);
    void loadString(std::string text);

    const std::string& title() const { return title_; }
    const std::vector<LogicalLine>& lines() const { return lines_; }
    // The original text of a physical line (for error messages), at most 200 characters.
    // Found by counting line feeds, so no table of line starts is kept for the rare error.
    std::string originalLine(int line) const;
    // Frees the text and the lines once the circuit is built (a large netlist's text is as big
    // as the file, its line table bigger); originalLine() keeps working.
    void release();

private:
    void prepare();
    void split();

    std::string path_;      // set when loaded from a file: error lines are read back from it
    std::string original_;  // kept only for text given as a string
    std::string lower_;
    std::deque<std::string> joined_;  // storage of lines built from '+' continuations
    std::vector<LogicalLine> lines_;
    std::string title_;
};

// Splits a logical line into tokens; whitespace and commas separate tokens except inside
// parentheses and braces. Throws SimError on unbalanced brackets.
void tokenize(std::string_view text, int line, std::vector<Token>& tokens);

}  // namespace korvex::sim
