// Writes the binary RAW result file: text header (8-bit or UTF-16LE) and little-endian
// doubles or complex doubles. The file is written under a temporary name and renamed when
// complete, so a failed run never leaves a RAW file that looks complete.
#pragma once
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "stamper.h"

namespace korvex::sim {

struct RawVariable {
    std::string name;
    std::string type;
};

struct RawHeader {
    std::string title;
    std::string plotname;
    std::string flags;
    // Variables 0 ... variableCount - 1, asked for once each, in order, while the header is
    // written: a large netlist's millions of names are never all held at once.
    size_t variableCount = 0;
    std::function<RawVariable(size_t)> variable;
    size_t points = 0;
    bool utf16 = false;
};

// The header of millions of variables takes a few tenths of a second to write. In the
// background it is written on a thread of its own while the caller goes on (the caller keeps
// what header.variable reads unchanged until the first record); the records wait for it.
enum class HeaderWriting { Now, InBackground };

class RawWriter {
public:
    ~RawWriter();
    // Throws SimError when the file cannot be created; a failed background header is reported
    // by the first record or finish().
    void open(const std::string& path, const RawHeader& header, HeaderWriting writing = HeaderWriting::Now);
    void writeReal(const std::vector<double>& record);
    void writeComplex(const std::vector<Complex>& record);
    // Closes and renames to the final name; throws SimError on write errors.
    void finish();
    void abandon();

private:
    void writeHeader(const RawHeader& header);
    void waitForHeader();
    void write(const void* data, size_t bytes);
    void writeText(const std::string& text, bool utf16);
    void abandonTemp();
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string tempPath_;
    size_t expectedRecords_ = 0;
    size_t records_ = 0;
    std::thread headerThread_;
    std::exception_ptr headerError_;
};

}  // namespace korvex::sim
