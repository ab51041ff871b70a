// Uncleared memory for the lines a streamed page keeps and the swaths it hands out. Large buffers
// are mapped with their pages already in place: a window of a swath's span, faulted in a page at a
// time as its lines first arrive, costs as much as a tenth of splitting an A4 page.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

namespace rv_analysis {

template <typename T>
class CLineBuffer
{
public:
    CLineBuffer() = default;
    explicit CLineBuffer(size_t count) : m_bytes(count * sizeof(T))
    {
        if (m_bytes >= kMappedBytes && !kOverrunsChecked) {
            void* p = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
            if (p == MAP_FAILED)
                throw std::bad_alloc();
            m_data = static_cast<T*>(p);
            m_mapped = true;
        } else {
            m_data = static_cast<T*>(std::malloc(m_bytes == 0 ? 1 : m_bytes));
            if (m_data == nullptr)
                throw std::bad_alloc();
        }
    }
    CLineBuffer(CLineBuffer&& other) noexcept { Swap(other); }
    CLineBuffer& operator=(CLineBuffer&& other) noexcept
    {
        CLineBuffer(std::move(other)).Swap(*this);
        return *this;
    }
    CLineBuffer(const CLineBuffer&) = delete;
    CLineBuffer& operator=(const CLineBuffer&) = delete;
    ~CLineBuffer()
    {
        if (m_mapped)
            munmap(m_data, m_bytes);
        else
            std::free(m_data);
    }

    T* get() const { return m_data; }

private:
    static constexpr size_t kMappedBytes = size_t{256} << 10;
    // AddressSanitizer guards heap blocks only: under it every buffer comes from the heap, so that
    // a row written past the end is caught.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr bool kOverrunsChecked = true;
#else
    static constexpr bool kOverrunsChecked = false;
#endif

    void Swap(CLineBuffer& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_bytes, other.m_bytes);
        std::swap(m_mapped, other.m_mapped);
    }

    T* m_data = nullptr;
    size_t m_bytes = 0;
    bool m_mapped = false;
};

}  // namespace rv_analysis
