// A block of lines a host pushes into a streamed page, checked and copied into the window of kept
// lines the same way by every streamed form (the splitter and its recombination check).
#pragma once

#include "LineWindow.h"

#include <new>
#include <string>

namespace rv_analysis {

// `count` packed page lines, `stride` bytes apart.
struct SLineBlock
{
    const unsigned char* lines = nullptr;
    int count = 0;
    size_t stride = 0;
};

// The page the block goes into: its size, its packed row and the lines it has received.
struct SStreamedPage
{
    int width = 0;
    int height = 0;
    size_t rowBytes = 0;
    int received = 0;
};

// Why `block` cannot be pushed into `page`; empty when it can (an empty block always can).
std::string LineBlockRefusal(const SLineBlock& block, const SStreamedPage& page);

// Copies the block's lines into `window`, calling onLine() after each; on running out of memory,
// says why with what the lines are kept for (`keptFor`), else empty.
template <typename OnLine>
std::string AppendLineBlock(CLineWindow<unsigned char>& window, const SLineBlock& block,
                            size_t rowBytes, const char* keptFor, OnLine onLine)
{
    try {
        for (int i = 0; i < block.count; ++i) {
            window.AppendCopy(block.lines + static_cast<size_t>(i) * block.stride);
            onLine();
        }
    } catch (const std::bad_alloc&) {
        return "keeping " + std::to_string(window.End() - window.First()) + " lines of " +
               std::to_string(rowBytes) + " bytes " + keptFor + ": memory does not give them";
    }
    return {};
}

}  // namespace rv_analysis
