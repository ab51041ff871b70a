// Reads fuzzer bytes as values; past the end every read gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) { }

    template <typename T> T Take()
    {
        T value{};
        const size_t n =
            m_offset < m_size ? (m_size - m_offset < sizeof(T) ? m_size - m_offset : sizeof(T)) : 0;
        if (n > 0)
            std::memcpy(&value, m_data + m_offset, n);
        m_offset += sizeof(T);
        return value;
    }
    // An int in [low, high], for parameters that only steer the harness.
    int TakeInRange(int low, int high)
    {
        const uint32_t span = static_cast<uint32_t>(high - low) + 1u;
        return low + static_cast<int>(Take<uint32_t>() % span);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};
