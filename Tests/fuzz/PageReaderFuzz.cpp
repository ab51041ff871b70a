// Fuzz target: rv_halftone split's page reader (PNG and TIFF) on any bytes, read as split reads a
// page: the header, the levels for the mode, then every channel's lines into a line sized from
// that header. Every failure is a PageError or PageRefusal; a line a byte short is refused
// untouched; the lines never reach past their buffer; a channel is read once until rewound.
// Input: the file's bytes.
#include "rv_halftone/PageReader.h"

#include "FuzzCheck.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Larger pages repeat the same work on more rows: the fuzzer should explore, not allocate.
constexpr size_t kMaxPixelBytes = size_t{1} << 22;
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuard = 0xA5;

bool Untouched(const std::vector<uint8_t>& buffer, size_t from)
{
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                       [](uint8_t byte) { return byte == kGuard; });
}

bool Refused(CPageReader& reader, int channel, uint8_t* line, size_t size)
{
    try {
        reader.ReadLine(channel, line, size);
    } catch (const PageError&) {
        return true;
    }
    return false;
}

void ReadPage(const std::string& path)
{
    const std::unique_ptr<CPageReader> reader = CPageReader::Open(path);
    const SPageHeader& header = reader->Header();
    Require(header.width > 0 && header.height > 0 && header.channels >= 1,
            "a page that opens has pixels");
    const int maskBits = header.bitDepth == 1 ? 1 : 2;
    reader->ChooseLevels(maskBits);
    const size_t lineBytes = (static_cast<size_t>(header.width) * maskBits + 7) / 8;
    const size_t stored =
        (static_cast<size_t>(header.width) * header.channels * header.bitDepth + 7) / 8;
    if (stored * static_cast<size_t>(header.height) > kMaxPixelBytes)
        return;
    std::vector<uint8_t> line(lineBytes + kGuardBytes, kGuard);
    Require(Refused(*reader, 0, line.data(), lineBytes - 1) && Untouched(line, 0),
            "a line short of the page's width is refused before a byte is written");
    for (int channel = 0; channel < header.channels; ++channel) {
        reader->Rewind();
        for (int y = 0; y < header.height; ++y) {
            const bool read = !Refused(*reader, channel, line.data(), lineBytes);
            Require(Untouched(line, lineBytes), "nothing is written past the line");
            if (!read)
                return;
        }
        Require(Refused(*reader, channel, line.data(), lineBytes), "a channel is read once");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader takes a path, as split gives it: the bytes as a file in memory.
    const int file = memfd_create("page", 0);
    Require(file >= 0, "a file in memory can be made");
    Require(size == 0 || write(file, data, size) == static_cast<ssize_t>(size),
            "the input is written whole");
    try {
        ReadPage("/proc/self/fd/" + std::to_string(file));
    } catch (const PageError&) {
        // A file the libraries refuse, with the path and the reason: what a user sees.
    } catch (const PageRefusal&) {
        // A well-formed file that is not a page split takes.
    }
    close(file);
    return 0;
}
