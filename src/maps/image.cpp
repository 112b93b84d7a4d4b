#include "image.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "font5x7.h"
#include "util/atomic_file.h"

namespace korvex::maps {

Image::Image(int width, int height, Rgb background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, background)
{
}

void Image::Set(int x, int y, Rgb c)
{
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<size_t>(y) * width_ + x] = c;
}

void Image::Fill(int x, int y, int w, int h, Rgb c)
{
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) pixels_[static_cast<size_t>(j) * width_ + i] = c;
}

void Image::Line(int x0, int y0, int x1, int y1, Rgb c)
{
    // Bresenham.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

int Image::Text(int x, int y, const std::string& text, Rgb c, int scale)
{
    int cx = x;
    for (char ch : text) {
        const uint8_t* rows = Glyph(ch);
        if (rows == nullptr) rows = Glyph('?');
        for (int r = 0; r < 7; ++r)
            for (int b = 0; b < 5; ++b)
                if (rows[r] & (0x10 >> b)) Fill(cx + b * scale, y + r * scale, scale, scale, c);
        cx += 6 * scale;
    }
    return cx - x;
}

namespace {

// libpng reports errors by longjmp: this function holds no object with a destructor.
bool WritePngStream(std::FILE* stream, int width, int height, png_bytep* rows, png_text* chunks, int chunkCount)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (chunkCount > 0) png_set_text(png, info, chunks, chunkCount);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool Image::WritePng(const std::string& path, const std::vector<std::pair<std::string, std::string>>& text,
                     std::string* why) const
{
    static_assert(sizeof(Rgb) == 3, "rows are written straight from the pixels");
    std::vector<png_bytep> rows(static_cast<size_t>(height_));
    for (int y = 0; y < height_; ++y)
        rows[static_cast<size_t>(y)] =
            reinterpret_cast<png_bytep>(const_cast<Rgb*>(pixels_.data() + static_cast<size_t>(y) * width_));
    std::vector<png_text> chunks(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[i].key = const_cast<char*>(text[i].first.c_str());
        chunks[i].text = const_cast<char*>(text[i].second.c_str());
    }
    AtomicFile file(path);
    if (!file.Open(why)) return false;
    if (!WritePngStream(file.Stream(), width_, height_, rows.data(), chunks.data(), static_cast<int>(chunks.size()))) {
        *why = "cannot write " + path;
        return false;
    }
    return file.Commit(why);
}

namespace {

using TextChunks = std::vector<std::pair<std::string, std::string>>;

// libpng reports errors by longjmp: nothing here is changed between setjmp and the read but *out.
void ReadTextChunks(std::FILE* f, TextChunks* out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        out->clear();
        return;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_textp text = nullptr;
    const int n = png_get_text(png, info, &text, nullptr);
    for (int i = 0; i < n; ++i) out->emplace_back(text[i].key, text[i].text);
    png_destroy_read_struct(&png, &info, nullptr);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadPngText(const std::string& path)
{
    TextChunks out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    ReadTextChunks(f, &out);
    std::fclose(f);
    return out;
}

}  // namespace korvex::maps
