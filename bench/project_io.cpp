// Project file speed: plain save plus load of a 2000 x 2000 pixel, 4-layer
// board (seven rasters, about 450 MB) against writing and reading the same
// number of bytes with one large write (plus fsync, as the safe save does) and
// one large read. Also reports the compressed save and load.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sim_process_timer.h"

#include "bench_blas.h"
#include "board/project_file.h"
#include "board/raster.h"
#include "board/sim_matrix.h"

using namespace korvex;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void MakeBoard(SimMatrix* b)
{
    InitSimulationMatrix(b);
    SetLayerCount(b, 4);
    SetSize(b, 0.2f, 0.2f, 2000, 2000, nullptr, nullptr);
    MallocAllMatrices(b);
    for (uint32_t x = 0; x < 2000; ++x)
        for (uint32_t y = 0; y < 2000; ++y)
            for (int l = 0; l < 4; ++l) {
                b->CopperMatrix[x][y][l] = ((x / 50 + y / 70 + l) % 3) != 0 ? 1.0f : 0.0f;
                b->VoltageMatrix[x][y][l] = 1e-4f * static_cast<float>(x + 2 * y) / (l + 1);
                b->CurrentDensityMatrix[x][y][l] = static_cast<float>((x * 7 + y * 13) % 101) * 1e-3f;
            }
}

bool WriteAll(const std::string& path, const char* data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == size && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool ReadAll(const std::string& path, char* data, size_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == size;
}

}  // namespace

int main()
{
    korvex::bench::printBlas();
    const fs::path dir = fs::temp_directory_path() / ("korvex_bench_io_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string project = (dir / "board.sav").string(), raw = (dir / "raw.bin").string();
    const ProjectSections none{nullptr, nullptr};

    SimMatrix board;
    MakeBoard(&board);
    const size_t bytes = 408 + size_t(28) * 2000 * 2000 * 4;
    std::printf("board 2000 x 2000 pixels x 4 layers, %.1f MB per file\n", bytes / 1e6);

    constexpr int kRuns = 3;
    std::vector<double> save, load, write, read;
    std::string error;
    for (int run = 0; run < kRuns; ++run) {
        auto t = Clock::now();
        if (SaveProject(project.c_str(), &board, false, none, &error) != 0) {
            std::fprintf(stderr, "save failed: %s\n", error.c_str());
            return 1;
        }
        save.push_back(Seconds(t));
        SimMatrix loaded;
        t = Clock::now();
        if (LoadProject(project.c_str(), &loaded, false, none, &error) != 1) {
            std::fprintf(stderr, "load failed: %s\n", error.c_str());
            return 1;
        }
        load.push_back(Seconds(t));
        freeSimulationMatrix(&loaded);

        // Peer: the same bytes as one buffer, one write (+ fsync) and one read
        // into a freshly allocated buffer.
        std::vector<char> source(bytes, 1);
        t = Clock::now();
        if (!WriteAll(raw, source.data(), bytes)) return 1;
        write.push_back(Seconds(t));
        source = {};
        char* target = static_cast<char*>(std::malloc(bytes));
        t = Clock::now();
        if (!ReadAll(raw, target, bytes)) return 1;
        read.push_back(Seconds(t));
        std::free(target);
    }
    const double s = bench::median(save), l = bench::median(load), w = bench::median(write), r = bench::median(read);
    std::printf("plain save %.3f s (%.0f MB/s), load %.3f s (%.0f MB/s)\n", s, bytes / 1e6 / s, l, bytes / 1e6 / l);
    std::printf("peer  write %.3f s (%.0f MB/s), read %.3f s (%.0f MB/s)\n", w, bytes / 1e6 / w, r, bytes / 1e6 / r);
    std::printf("ratio (save + load) / (write + read) = %.2f (goal: at most 2)\n", (s + l) / (w + r));

    auto t = Clock::now();
    if (SaveProject(project.c_str(), &board, true, none, &error) != 0) return 1;
    const double cs = Seconds(t);
    const auto packed = fs::file_size(project);
    SimMatrix loaded;
    t = Clock::now();
    if (LoadProject(project.c_str(), &loaded, true, none, &error) != 1) return 1;
    const double cl = Seconds(t);
    freeSimulationMatrix(&loaded);
    std::printf("compressed save %.3f s, load %.3f s, file %.1f MB (%.1f %% of plain)\n", cs, cl, packed / 1e6,
                100.0 * packed / bytes);

    freeSimulationMatrix(&board);
    fs::remove_all(dir);
    return 0;
}
