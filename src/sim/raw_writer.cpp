// RAW file writing.
#include "raw_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "sim_error.h"

namespace korvex::sim {

static_assert(std::endian::native == std::endian::little, "RAW values are written as little-endian doubles");

RawWriter::~RawWriter() { abandon(); }

void RawWriter::open(const std::string& path, const RawHeader& header, HeaderWriting writing)
{
    path_ = path;
    // A temporary name of this run's own, so that a second run on the same netlist neither
    // writes into nor removes this run's file.
    std::string name = path + ".part-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw SimError("cannot create RAW file '" + name + "': " + std::strerror(errno));
    tempPath_ = name;
    const mode_t mask = ::umask(022);  // read back: the file gets the mode a plain create would give
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        abandonTemp();
        throw SimError("cannot create RAW file '" + tempPath_ + "'");
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    expectedRecords_ = header.points;
    if (writing == HeaderWriting::Now) {
        writeHeader(header);
        return;
    }
    headerThread_ = std::thread([this, header] {
        try {
            writeHeader(header);
        } catch (...) {
            headerError_ = std::current_exception();
        }
    });
}

void RawWriter::waitForHeader()
{
    if (headerThread_.joinable()) headerThread_.join();
    if (headerError_) std::rethrow_exception(std::exchange(headerError_, nullptr));
}

void RawWriter::writeHeader(const RawHeader& header)
{
    char date[64];
    std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%a %b %e %H:%M:%S %Y", std::localtime(&now));
    std::string text;
    text.reserve(1 << 20);
    text += "Title: " + header.title + "\n";
    text += "Date: " + std::string(date) + "\n";
    text += "Plotname: " + header.plotname + "\n";
    text += "Flags: " + header.flags + "\n";
    text += "No. Variables: " + std::to_string(header.variableCount) + "\n";
    text += "No. Points: " + std::to_string(header.points) + "\n";
    text += "Offset: 0.0000000000000000e+00\n";
    text += "Command: korvex-sim\n";
    text += "Variables:\n";
    for (size_t k = 0; k < header.variableCount; ++k) {
        const RawVariable variable = header.variable(k);
        text += '\t';
        text += std::to_string(k);
        text += '\t';
        text += variable.name;
        text += '\t';
        text += variable.type;
        text += '\n';
        if (text.size() >= (1 << 20) - 4096) {
            writeText(text, header.utf16);
            text.clear();
        }
    }
    text += "Binary:\n";
    writeText(text, header.utf16);
}

void RawWriter::writeText(const std::string& text, bool utf16)
{
    if (!utf16) {
        write(text.data(), text.size());
        return;
    }
    std::string wide(text.size() * 2, '\0');
    for (size_t k = 0; k < text.size(); ++k) wide[2 * k] = text[k];
    write(wide.data(), wide.size());
}

void RawWriter::write(const void* data, size_t bytes)
{
    if (bytes && std::fwrite(data, 1, bytes, file_) != bytes) throw SimError("cannot write RAW file '" + tempPath_ + "' (disk full?)");
}

namespace {
// A value that overflowed (V = 1e308 across R = 1e-308) is no result: the run fails rather
// than hand on infinities or NaNs.
void requireFinite(const double* values, size_t count)
{
    for (size_t k = 0; k < count; ++k)
        if (!std::isfinite(values[k]))
            throw SimError("the solution is not finite (overflow in the values of the circuit); no result written");
}
}  // namespace

void RawWriter::writeReal(const std::vector<double>& record)
{
    waitForHeader();
    requireFinite(record.data(), record.size());
    write(record.data(), record.size() * sizeof(double));
    ++records_;
}

void RawWriter::writeComplex(const std::vector<Complex>& record)
{
    waitForHeader();
    requireFinite(reinterpret_cast<const double*>(record.data()), 2 * record.size());
    write(record.data(), record.size() * sizeof(Complex));
    ++records_;
}

void RawWriter::finish()
{
    waitForHeader();
    if (records_ != expectedRecords_)
        throw SimError("internal error: " + std::to_string(records_) + " RAW points written, " +
                       std::to_string(expectedRecords_) + " announced");
    const bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    std::fclose(file_);
    file_ = nullptr;
    if (!ok) {
        abandonTemp();
        throw SimError("cannot write RAW file '" + tempPath_ + "'");
    }
    std::error_code error;
    std::filesystem::rename(tempPath_, path_, error);
    if (error) {
        abandonTemp();
        throw SimError("cannot rename '" + tempPath_ + "' to '" + path_ + "': " + error.message());
    }
}

void RawWriter::abandon()
{
    if (headerThread_.joinable()) headerThread_.join();
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    abandonTemp();
}

void RawWriter::abandonTemp()
{
    std::error_code ignored;
    std::filesystem::remove(tempPath_, ignored);
}

}  // namespace korvex::sim
