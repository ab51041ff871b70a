#include <Rv_Halftone/MaskBlock.h>

#include "Rv_Halftone_Internal.h"

#include <cstring>

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
    m_maskBuffer.buffer_valid_len(static_cast<int>(bytes), true, false);
    m_width = width;
    m_height = height;
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
