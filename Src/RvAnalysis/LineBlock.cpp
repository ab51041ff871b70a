#include "LineBlock.h"

namespace rv_analysis {

std::string LineBlockRefusal(const SLineBlock& block, const SStreamedPage& page)
{
    if (block.count == 0)
        return {};
    if (block.count < 0)
        return "a block of " + std::to_string(block.count) + " lines";
    if (block.count > page.height - page.received)
        return "lines " + std::to_string(page.received) + " to " +
               std::to_string(static_cast<long long>(page.received) + block.count - 1) +
               " pushed, but the page has " + std::to_string(page.height) + " lines";
    if (block.lines == nullptr)
        return "a block of " + std::to_string(block.count) + " lines without bytes";
    if (block.stride < page.rowBytes)
        return "pushed rows are " + std::to_string(block.stride) + " bytes apart, but " +
               std::to_string(page.width) + " pixels take " + std::to_string(page.rowBytes) +
               " bytes";
    return {};
}

}  // namespace rv_analysis
