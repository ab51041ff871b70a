#include <ZebCommon/ExpandBuffer.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Storage comes zeroed from calloc: a large block is fresh pages the system hands out as zeroes,
// so a caller that needs zeroes (a mask about to be rendered) does not write the whole block once
// more before its real writers do.
unsigned char* ZeroedStorage(size_t bytes)
{
    void* storage = std::calloc(bytes, 1);
    if (storage == nullptr)
        throw std::bad_alloc();
    return static_cast<unsigned char*>(storage);
}

}  // namespace

ExpandBuffer::ExpandBuffer(const ExpandBuffer& other)
{
    if (other.m_validLen > 0) {
        m_buffer = ZeroedStorage(static_cast<size_t>(other.m_validLen));
        std::memcpy(m_buffer, other.m_buffer, static_cast<size_t>(other.m_validLen));
        m_capacity = other.m_validLen;
        m_validLen = other.m_validLen;
    }
}

ExpandBuffer& ExpandBuffer::operator=(const ExpandBuffer& other)
{
    if (this != &other) {
        ExpandBuffer copy(other);
        std::swap(m_buffer, copy.m_buffer);
        std::swap(m_validLen, copy.m_validLen);
        std::swap(m_capacity, copy.m_capacity);
    }
    return *this;
}

ExpandBuffer::~ExpandBuffer() { std::free(m_buffer); }

bool ExpandBuffer::buffer_valid_len(int length, bool preserve, bool shrink)
{
    if (length < 0)
        return false;
    if (length > m_capacity || (shrink && length < m_capacity)) {
        unsigned char* grown = length > 0 ? ZeroedStorage(static_cast<size_t>(length)) : nullptr;
        const int kept = preserve ? (m_validLen < length ? m_validLen : length) : 0;
        if (kept > 0)
            std::memcpy(grown, m_buffer, static_cast<size_t>(kept));
        std::free(m_buffer);
        m_buffer = grown;
        m_capacity = length;
    }
    m_validLen = length;
    return true;
}
