// Splitting a netlist into logical lines and tokens.
#include "netlist_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "huge_pages.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

// The netlist is ASCII; these avoid the locale lookups of <cctype> on every character.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;

uint64_t load64(const char* p)
{
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Lower case of the ASCII letters, eight bytes at a time: a byte below 0x80 that lies in
// 'A' ... 'Z' gains 0x20. Seven-bit bytes plus the offsets stay below 0x100, so no carry
// crosses into the next byte.
void lowerAscii(char* begin, char* end)
{
    char* p = begin;
    for (; end - p >= 8; p += 8) {
        uint64_t word = load64(p);
        const uint64_t low7 = word & ~kHighs;
        const uint64_t fromA = low7 + kOnes * (0x80 - 'A');     // high bit: byte >= 'A'
        const uint64_t pastZ = low7 + kOnes * (0x80 - 'Z' - 1);  // high bit: byte > 'Z'
        word |= (fromA & ~pastZ & ~word & kHighs) >> 2;
        std::memcpy(p, &word, sizeof word);
    }
    for (; p < end; ++p) *p = static_cast<char>(*p + ((*p >= 'A' && *p <= 'Z') ? 'a' - 'A' : 0));
}

// Line feeds in [begin, end), eight bytes at a time: a byte of word ^ "\n\n..." is zero where
// a line feed is; adding 0x7f to its low seven bits, or-ed with the byte, sets the high bit of
// every byte that is not zero.
size_t countLineFeeds(const char* begin, const char* end)
{
    size_t count = 0;
    const char* p = begin;
    while (end - p >= 8) {
        uint64_t perByte = 0;  // one counter per byte, at most 255 words at a time
        for (int k = 0; k < 255 && end - p >= 8; ++k, p += 8) {
            const uint64_t x = load64(p) ^ (kOnes * '\n');
            const uint64_t nonZero = ((x & ~kHighs) + ~kHighs) | x;
            perByte += (~nonZero & kHighs) >> 7;
        }
        const uint64_t pairs = (perByte & 0x00ff00ff00ff00ffull) + ((perByte >> 8) & 0x00ff00ff00ff00ffull);
        count += (pairs * 0x0001000100010001ull) >> 48;
    }
    for (; p < end; ++p) count += *p == '\n';
    return count;
}

// The physical lines of text as logical lines: comments cut, blanks trimmed, '+' continuations
// joined onto the line before (in a string of `joined`). The first line is the title.
void splitLines(std::string_view text, std::vector<LogicalLine>& lines, std::deque<std::string>& joined)
{
    size_t pos = 0;
    size_t joinedLine = 0;  // lines.size() when joined.back() was made for lines.back()
    int number = 0;
    while (pos < text.size()) {
        ++number;
        size_t feed = text.find('\n', pos);
        if (feed == std::string::npos) feed = text.size();
        std::string_view line = text.substr(pos, feed - pos);
        pos = feed + 1;
        if (number == 1) continue;  // the first line is the title, as in every SPICE deck
        const size_t semicolon = line.find(';');
        if (semicolon != std::string_view::npos) line = line.substr(0, semicolon);
        size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        line = line.substr(first);
        while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
        if (line.empty() || line[0] == '*') continue;
        if (line[0] == '+' && !lines.empty()) {
            // The first continuation copies the line once; later ones append to that copy,
            // so a line of many continuations costs time and memory in proportion to it.
            LogicalLine& previous = lines.back();
            if (joinedLine != lines.size()) {
                joined.emplace_back(previous.text);
                joinedLine = lines.size();
            }
            std::string& target = joined.back();
            target += ' ';
            target.append(line.substr(1));
            previous.text = target;
        } else {
            lines.push_back({number, line});
        }
    }
}

}  // namespace

bool NetlistText::loadFile(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open netlist '" + path + "'";
        return false;
    }
    std::string content;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        content.reserve(static_cast<size_t>(size));
        prefaultElements(content, static_cast<size_t>(size));
        content.resize(static_cast<size_t>(size));
        ok = std::fread(content.data(), 1, content.size(), file) == content.size();
    }
    std::fclose(file);
    if (!ok) {
        error = "cannot read netlist '" + path + "'";
        return false;
    }
    path_ = path;
    original_.clear();
    lower_ = std::move(content);
    prepare();
    return true;
}

void NetlistText::loadString(std::string text)
{
    path_.clear();
    original_ = text;
    lower_ = std::move(text);
    prepare();
}

void NetlistText::prepare()
{
    // The title keeps its case; everything else is matched in lower case.
    size_t end = lower_.find('\n');
    title_ = lower_.substr(0, end == std::string::npos ? lower_.size() : end);
    while (!title_.empty() && (title_.back() == '\r' || title_.back() == ' ')) title_.pop_back();
    split();
}

std::string NetlistText::originalLine(int line) const
{
    if (line < 1) return {};
    std::string text;
    if (!path_.empty()) {
        std::FILE* file = std::fopen(path_.c_str(), "rb");
        if (!file) return {};
        char buffer[1 << 16];
        int current = 1;
        size_t got = 0;
        bool found = false;
        while (!found && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            size_t k = 0;
            while (current < line && k < got) {
                const void* feed = std::memchr(buffer + k, '\n', got - k);
                if (!feed) {
                    k = got;
                    break;
                }
                k = static_cast<size_t>(static_cast<const char*>(feed) - buffer) + 1;
                ++current;
            }
            if (current == line) {
                found = true;
                text.assign(buffer + k, got - k);
                while (text.size() < 200 && text.find('\n') == std::string::npos && (got = std::fread(buffer, 1, 200, file)) > 0)
                    text.append(buffer, got);
            }
        }
        std::fclose(file);
    } else {
        size_t start = 0;
        for (int current = 1; current < line && start != std::string::npos; ++current) {
            start = original_.find('\n', start);
            if (start != std::string::npos) ++start;
        }
        if (start != std::string::npos && start < original_.size()) text = original_.substr(start, 200);
    }
    text = text.substr(0, std::min<size_t>(200, text.find('\n')));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

void NetlistText::release()
{
    std::string().swap(lower_);
    std::vector<LogicalLine>().swap(lines_);
    std::deque<std::string>().swap(joined_);
}

void NetlistText::split()
{
    lines_.clear();
    joined_.clear();
    lowerAscii(lower_.data(), lower_.data() + lower_.size());
    const size_t lineCount = countLineFeeds(lower_.data(), lower_.data() + lower_.size()) + 1;
    lines_.reserve(lineCount);
    prefaultElements(lines_, lineCount);
    splitLines(lower_, lines_, joined_);
}

void tokenize(std::string_view text, int line, std::vector<Token>& tokens)
{
    tokens.clear();
    // Most lines of a large netlist are plain words ("r1 n1 n2 0.5"): without brackets and
    // '=' they split at blanks and commas alone, in one pass.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '=' || c == '(' || c == ')' || c == '{' || c == '}'; })) {
        size_t i = 0;
        while (i < text.size()) {
            if (isBlank(text[i]) || text[i] == ',') {
                ++i;
                continue;
            }
            const size_t start = i;
            while (i < text.size() && !isBlank(text[i]) && text[i] != ',') ++i;
            Token& token = tokens.emplace_back();
            token.text = text.substr(start, i - start);
        }
        return;
    }
    thread_local std::vector<std::string_view> pieces;  // reused: this runs once per line
    pieces.clear();
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (isBlank(c) || c == ',') {
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
            } else if (depth == 0 && (isBlank(c) || c == ',')) break;
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
