// Fuzz target: rv_halftone split's PNG page reader on any bytes, read as split reads a page: the
// header, then, for grey of at most 8 bits, the rows into a buffer sized from that header. Every
// failure is a PngError; a buffer a byte short of the rows is refused untouched; the rows never
// reach past the buffer; they are read once. Input: the file's bytes.
#include "rv_halftone/PngReader.h"

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

bool Refused(CPngReader& reader, uint8_t* bytes, size_t size)
{
    try {
        reader.ReadGreyRows(bytes, size);
    } catch (const PngError&) {
        return true;
    }
    return false;
}

void ReadPage(const std::string& path)
{
    CPngReader reader(path);
    const SPngInfo& info = reader.Info();
    Require(info.width > 0 && info.height > 0, "a page that opens has pixels");
    const size_t size = info.RowBytes() * static_cast<size_t>(info.height);
    if (!info.Grey() || info.bitDepth > 8 || size > kMaxPixelBytes)
        return;
    std::vector<uint8_t> buffer(size + kGuardBytes, kGuard);
    Require(Refused(reader, buffer.data(), size - 1) && Untouched(buffer, 0),
            "a buffer short of the rows is refused before a byte is written");
    const bool read = !Refused(reader, buffer.data(), size);
    Require(Untouched(buffer, size), "nothing is written past the rows");
    Require(!read || Refused(reader, buffer.data(), size), "the rows are read once");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader takes a path, as split gives it: the bytes as a file in memory.
    const int file = memfd_create("page.png", 0);
    Require(file >= 0, "a file in memory can be made");
    Require(size == 0 || write(file, data, size) == static_cast<ssize_t>(size),
            "the input is written whole");
    try {
        ReadPage("/proc/self/fd/" + std::to_string(file));
    } catch (const PngError&) {
        // A file libpng refuses, with the path and the reason: what a user sees.
    }
    close(file);
    return 0;
}
