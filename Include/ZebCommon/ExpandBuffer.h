// A growable byte buffer that owns its storage.
#pragma once

#include <ZebCommon/ZebCommon_Export.h>

class ZEBCOMMON_API ExpandBuffer
{
public:
    ExpandBuffer() = default;
    ExpandBuffer(const ExpandBuffer& other);  // the copy owns its own bytes
    ExpandBuffer& operator=(const ExpandBuffer& other);
    virtual ~ExpandBuffer();

    // Makes `length` bytes valid. With `preserve` the bytes already valid keep their values when
    // the storage grows; with `shrink` the storage is cut to `length` bytes, otherwise it is kept
    // for reuse. New storage (when `length` exceeds Capacity(), or with `shrink`) starts as
    // zeroes beyond the preserved bytes; storage kept for reuse keeps what it held. A negative
    // length is refused (false, nothing changes). Allocation failure throws std::bad_alloc and
    // changes nothing.
    bool buffer_valid_len(int length, bool preserve, bool shrink);

    unsigned char* Buffer() const { return m_buffer; }
    int ValidLen() const { return m_validLen; }
    int Capacity() const { return m_capacity; }

    // Read directly by the callers, as the accessors above return them.
    unsigned char* m_buffer = nullptr;
    int m_validLen = 0;

private:
    int m_capacity = 0;
};
