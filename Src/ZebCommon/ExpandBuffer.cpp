#include <ZebCommon/ExpandBuffer.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Storage the buffer grows into comes zeroed from calloc: a large block is fresh pages the system
// hands out as zeroes, so a caller that needs zeroes (a mask about to be rendered) does not write
// the whole block once more before its real writers do. A copy, whose every byte is written at
// once, takes its storage unzeroed; both are released with free.
unsigned char* Storage(size_t bytes, bool zeroed)
{
    void* storage = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (storage == nullptr)
        throw std::bad_alloc();
    return static_cast<unsigned char*>(storage);
}

}  // namespace

ExpandBuffer::ExpandBuffer(const ExpandBuffer& other)
{
    if (other.m_validLen > 0) {
        m_buffer = Storage(static_cast<size_t>(other.m_validLen), false);
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
        unsigned char* grown = length > 0 ? Storage(static_cast<size_t>(length), true) : nullptr;
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
