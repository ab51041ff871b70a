// The lines of a streamed page that are still needed: a ring of fixed-size rows, page line L in
// slot L mod capacity, from the first line still kept to the last line appended. The streamed
// splitter keeps page rows in one, the streamed check keeps page rows and pass counts; neither
// holds more than the lines its passes still reach.
#pragma once

#include "LineBuffer.h"

#include <algorithm>
#include <cstddef>

namespace rv_analysis {

template <typename T>
class CLineWindow
{
public:
    // Rows of `rowSize` elements; room for `lines` of them at first. The caller has checked that
    // the room fits in memory. The room is not cleared: a row is read only once appended, and
    // clearing a window of a swath's span per page costs as much as copying its lines in.
    void Reset(size_t rowSize, int lines)
    {
        m_rowSize = rowSize;
        m_capacity = std::max(lines, 1);
        m_first = 0;
        m_end = 0;
        m_rows = CLineBuffer<T>(static_cast<size_t>(m_capacity) * m_rowSize);
        m_peakElements = static_cast<size_t>(m_capacity) * m_rowSize;
    }

    int First() const { return m_first; }  // the first line kept
    int End() const { return m_end; }      // one past the last line appended
    bool Holds(int line) const { return line >= m_first && line < m_end; }
    // Elements held at most so far: the capacity, which only grows.
    size_t PeakElements() const { return m_peakElements; }

    T* Row(int line) { return m_rows.get() + Slot(line); }
    const T* Row(int line) const { return m_rows.get() + Slot(line); }

    // Room for the next line, cleared; the ring doubles when every slot holds a kept line (a
    // caller that pushes lines in larger blocks than its passes consume them).
    T* Append()
    {
        GrowWhenFull();
        T* row = Row(m_end++);
        std::fill(row, row + m_rowSize, T{});
        return row;
    }

    // The next line, a copy of `row`'s rowSize elements: no clearing of what is overwritten at once.
    void AppendCopy(const T* row)
    {
        GrowWhenFull();
        std::copy(row, row + m_rowSize, Row(m_end++));
    }

    // Lines before `line` are no longer needed.
    void DropBefore(int line) { m_first = std::min(std::max(m_first, line), m_end); }

private:
    size_t Slot(int line) const
    {
        return static_cast<size_t>(line % m_capacity) * m_rowSize;
    }

    void GrowWhenFull()
    {
        if (m_end - m_first == m_capacity)
            Grow();
    }

    void Grow()
    {
        const int capacity = m_capacity * 2;
        const size_t elements = static_cast<size_t>(capacity) * m_rowSize;
        CLineBuffer<T> rows(elements);
        for (int line = m_first; line < m_end; ++line)
            std::copy(Row(line), Row(line) + m_rowSize,
                      rows.get() + static_cast<size_t>(line % capacity) * m_rowSize);
        m_rows = std::move(rows);
        m_capacity = capacity;
        m_peakElements = std::max(m_peakElements, elements);
    }

    size_t m_rowSize = 0;
    int m_capacity = 1;
    int m_first = 0;
    int m_end = 0;
    size_t m_peakElements = 0;
    CLineBuffer<T> m_rows;
};

}  // namespace rv_analysis
