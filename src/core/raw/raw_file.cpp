#include "raw/raw_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "util/debug_log.h"

namespace korvex {

namespace {
size_t Find(std::string_view buf, std::string_view needle, size_t from = 0)
{
    return buf.find(needle, from);
}

std::string Utf16(std::string_view ascii)
{
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

int Fail(std::string* error, std::string reason)
{
    if (error) *error = std::move(reason);
    return -1;
}

// Reads "<label><number>" where the number is unsigned decimal within 20 characters.
bool ReadCount(std::string_view buf, size_t labelEnd, unsigned* value)
{
    size_t i = labelEnd;
    const size_t end = std::min(buf.size(), labelEnd + 20);
    while (i < end && buf[i] == ' ') ++i;
    uint64_t v = 0;
    size_t digits = 0;
    while (i < end && buf[i] >= '0' && buf[i] <= '9') {
        v = v * 10 + static_cast<unsigned>(buf[i] - '0');
        if (v > 0xFFFFFFFFu) return false;
        ++i;
        ++digits;
    }
    if (digits == 0) return false;
    *value = static_cast<unsigned>(v);
    return true;
}
}  // namespace

bool RawFile::RealValue(size_t v, double* out) const
{
    const size_t offset = BinaryStart + 8 * v;
    if (v >= (BinaryBytes() / 8)) return false;
    std::memcpy(out, Bytes.data() + offset, 8);
    return true;
}

bool RawFile::ComplexValue(size_t p, size_t v, size_t variables, double* re, double* im) const
{
    const size_t index = p * variables + v;
    if (v >= variables || index >= BinaryBytes() / 16) return false;
    const char* at = Bytes.data() + BinaryStart + 16 * index;
    std::memcpy(re, at, 8);
    std::memcpy(im, at + 8, 8);
    return true;
}

namespace {
int ParseLoaded(RawFile* raw, std::string_view bytes, bool needCounts, std::string* error);
}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept : address_(other.address_), size_(other.size_)
{
    other.address_ = nullptr;
    other.size_ = 0;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this != &other) {
        if (address_ != nullptr) ::munmap(address_, size_);
        address_ = other.address_;
        size_ = other.size_;
        other.address_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

MappedFile::~MappedFile()
{
    if (address_ != nullptr) ::munmap(address_, size_);
}

int LoadRawFile(const char* path, RawFile* raw, bool needCounts, std::string* error)
{
    *raw = RawFile{};
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        printDebug("Datei %s nicht gefunden", path);
        return Fail(error, std::string("result file ") + path + " not found");
    }
    // Mapped rather than read: large results are neither copied nor zero-filled.
    const size_t size = static_cast<size_t>(st.st_size);
    if (size > 0) {
        void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (address == MAP_FAILED) {
            ::close(fd);
            return Fail(error, std::string("result file ") + path + " could not be read");
        }
        raw->Mapped = MappedFile(address, size);
    }
    ::close(fd);
    printDebug("Total size of test%s = %d bytes\r\n", path, static_cast<int>(size));
    printDebug("File closed\r\n");
    return ParseLoaded(raw, raw->Mapped.Bytes(), needCounts, error);
}

int ParseRawFile(std::vector<char> bytes, RawFile* raw, bool needCounts, std::string* error)
{
    *raw = RawFile{};
    raw->Owned = std::move(bytes);
    return ParseLoaded(raw, std::string_view(raw->Owned.data(), raw->Owned.size()), needCounts, error);
}

namespace {
int ParseLoaded(RawFile* raw, std::string_view bytes, bool needCounts, std::string* error)
{
    size_t binary = Find(bytes, "Binary:");
    if (binary == std::string_view::npos) {
        printDebug("\"Binary:\" nicht gefunden\r\n");
        const size_t wide = Find(bytes, Utf16("Binary:"));
        if (wide == std::string_view::npos) return Fail(error, "result file has no \"Binary:\" line");
        printDebug("64-Bit Version RAW Data\r\n");
        // The header up to and including the line feed after "Binary:" is narrowed
        // to its low bytes; the binary section follows unchanged.
        const size_t headerEnd = wide + 16;
        if (headerEnd > bytes.size()) {
            printDebug("Error in 64-Bit RAW\r\n");
            return Fail(error, "result file ends inside its header");
        }
        std::vector<char> narrow;
        narrow.reserve(bytes.size());
        for (size_t i = 0; i + 1 < headerEnd; i += 2) narrow.push_back(bytes[i]);
        narrow.insert(narrow.end(), bytes.begin() + static_cast<long>(headerEnd), bytes.end());
        raw->Owned = std::move(narrow);
        raw->Mapped = MappedFile();
        bytes = std::string_view(raw->Owned.data(), raw->Owned.size());
        binary = Find(bytes, "Binary:");
        if (binary == std::string_view::npos) {
            printDebug("Error in 64-Bit RAW\r\n");
            return Fail(error, "result file has a damaged UTF-16 header");
        }
    }
    raw->BinaryStart = binary + 8;
    if (raw->BinaryStart > bytes.size() || bytes[binary + 7] != '\n')
        return Fail(error, "result file ends after \"Binary:\"");

    const size_t nv = Find(bytes, "No. Variables:");
    const size_t np = nv == std::string_view::npos ? nv : Find(bytes, "No. Points:", nv);
    if (nv != std::string_view::npos && nv < binary && np != std::string_view::npos && np < binary) {
        raw->HasCounts = ReadCount(bytes, nv + 14, &raw->DeclaredVariables) &&
                         ReadCount(bytes, np + 11, &raw->DeclaredPoints);
    }
    if (needCounts) {
        if (nv == std::string_view::npos || nv > binary) {
            printDebug("No. Variables: not found\r\n");
            return Fail(error, "result file has no \"No. Variables:\" line");
        }
        if (np == std::string_view::npos || np > binary) {
            printDebug("No. Points: not found\r\n");
            return Fail(error, "result file has no \"No. Points:\" line");
        }
        if (!raw->HasCounts) {
            printDebug("No. Variables: couldn't read'\r\n");
            return Fail(error, "result file has unreadable variable or point counts");
        }
        printDebug("No. Variables = %u\r\n", raw->DeclaredVariables);
        printDebug("No. Points = %u\r\n", raw->DeclaredPoints);
    }

    const size_t list = Find(bytes, "Variables:", np == std::string_view::npos ? 0 : np);
    size_t listAt = list;
    // "No. Variables:" contains "Variables:" too; the list is the line that starts with it.
    while (listAt != std::string_view::npos && listAt > 0 && bytes[listAt - 1] != '\n')
        listAt = Find(bytes, "Variables:", listAt + 1);
    if (listAt == std::string_view::npos || listAt > binary) {
        printDebug("Variables: nicht gefunden\r\n");
        return Fail(error, "result file has no variable list");
    }
    // Each variable line: TAB index TAB name TAB type LF, up to the "Binary:" line.
    // A listed variable takes at least four header bytes ("\t0\tv" up to its line feed), so
    // the declared count only sizes the list as far as the header can hold it.
    if (raw->HasCounts) raw->Variables.reserve(std::min<size_t>(raw->DeclaredVariables, (binary - listAt) / 4));
    // One pass over the characters: the fields are a few bytes long, shorter than a library
    // search costs to start.
    const char* const text = bytes.data();
    const size_t listEnd = Find(bytes, "\n", listAt);
    for (size_t at = listEnd == std::string_view::npos ? binary : listEnd + 1; at < binary && text[at] == '\t';) {
        size_t tab2 = at + 1;
        while (tab2 < binary && text[tab2] != '\t' && text[tab2] != '\n') ++tab2;
        if (tab2 >= binary || text[tab2] != '\t') break;
        size_t nameEnd = tab2 + 1;  // up to a tab, a carriage return or the line's end
        while (nameEnd < binary && text[nameEnd] != '\t' && text[nameEnd] != '\r' && text[nameEnd] != '\n') ++nameEnd;
        RawVariable var;
        var.Index = static_cast<unsigned>(raw->Variables.size());
        var.Name = std::string_view(text + tab2 + 1, nameEnd - tab2 - 1);
        raw->Variables.push_back(var);
        size_t lineEnd = nameEnd;
        while (lineEnd < binary && text[lineEnd] != '\n') ++lineEnd;
        at = lineEnd + 1;
    }
    raw->Bytes = bytes;
    return 0;
}
}  // namespace

}  // namespace korvex
