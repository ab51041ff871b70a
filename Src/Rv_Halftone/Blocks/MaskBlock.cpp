#include <Rv_Halftone/MaskBlock.h>

#include "Common/Sizes.h"

#include <BoostLogWrapper/CustomBoostLog.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace {

// A large mask is written right after it is made, and on 4 KB pages every first touch is a page
// fault: on a virtual machine these cost more than rendering the mask. Transparent huge pages,
// where the system grants them on request, fault 2 MB at a time. Only whole 2 MB pages inside the
// buffer are asked for; the advice changes no byte, so a refusal is ignored.
void AskForHugePages(unsigned char* buffer, size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)bytes;
#endif
}

}  // namespace

CMaskBlock::CMaskBlock() : m_width(0), m_height(0) { }

CMaskBlock::CMaskBlock(const CMaskBlock& other)
    : m_width(other.m_width), m_height(other.m_height), m_maskBuffer(other.m_maskBuffer)
{
}

CMaskBlock& CMaskBlock::operator=(const CMaskBlock& other)
{
    if (this != &other) {
        m_maskBuffer = other.m_maskBuffer;
        m_width = other.m_width;
        m_height = other.m_height;
    }
    return *this;
}

CMaskBlock::~CMaskBlock() = default;

bool CMaskBlock::Create(int width, int height)
{
    const long long bytes = static_cast<long long>(width) * height;
    if (width < 0 || height < 0 || !rv_halftone::FitsInt(bytes)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // New storage arrives zeroed; for a large mask that is pages the system has not handed out
    // yet, first touched by the workers that render into them. Storage kept from an earlier
    // Create is cleared here.
    const bool newStorage = bytes > m_maskBuffer.Capacity();
    m_maskBuffer.buffer_valid_len(static_cast<int>(bytes), false, false);
    m_width = width;
    m_height = height;
    AskForHugePages(m_maskBuffer.m_buffer, static_cast<size_t>(bytes));
    if (!newStorage)
        ClearMaskData();
    return true;
}

void CMaskBlock::ClearMaskData()
{
    if (m_maskBuffer.m_validLen > 0)
        std::memset(m_maskBuffer.m_buffer, 0, static_cast<size_t>(m_maskBuffer.m_validLen));
}

unsigned char* CMaskBlock::MaskData() const { return m_maskBuffer.m_buffer; }

const unsigned char* CMaskBlock::MaskData_Const() const { return m_maskBuffer.m_buffer; }

int CMaskBlock::MaskDataBytesCount() const { return m_maskBuffer.m_validLen; }

int CMaskBlock::Width() const { return m_width; }

int CMaskBlock::Height() const { return m_height; }
