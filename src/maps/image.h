#pragma once
// An RGB picture in memory with the few drawing operations the maps and plots
// need (rectangles, lines, text in a built-in 5 x 7 pixel font), written as PNG
// through libpng with text chunks that carry the legend's numbers.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace korvex::maps {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

class Image {
public:
    Image(int width, int height, Rgb background = {255, 255, 255});
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Set(int x, int y, Rgb c);
    Rgb Get(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void Fill(int x, int y, int w, int h, Rgb c);
    void Line(int x0, int y0, int x1, int y1, Rgb c);
    // Text with its top left corner at (x, y), SCALE pixels per font pixel;
    // characters outside the font are drawn as '?'. Returns the width drawn.
    int Text(int x, int y, const std::string& text, Rgb c, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1) { return static_cast<int>(text.size()) * 6 * scale; }

    // Writes the PNG; the key/value pairs become tEXt chunks. False with the reason.
    bool WritePng(const std::string& path, const std::vector<std::pair<std::string, std::string>>& text,
                  std::string* why) const;

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// The tEXt chunks of a PNG file (for tests and tools); empty when unreadable.
std::vector<std::pair<std::string, std::string>> ReadPngText(const std::string& path);

}  // namespace korvex::maps
