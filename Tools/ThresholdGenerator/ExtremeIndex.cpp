#include "ExtremeIndex.h"

namespace ThresholdGen {

CExtremeIndex::CExtremeIndex(int width, int height, int segment)
    : m_width(width), m_segment(segment), m_segmentsPerRow(width / segment),
      m_score(static_cast<size_t>(width) * height, kNone), m_bias(height, 0),
      m_segmentBest(static_cast<size_t>(m_segmentsPerRow) * height), m_rowBest(height),
      m_segmentDirty(m_segmentBest.size(), 1), m_rowDirty(height, 1)
{
    for (int s = 0; s < static_cast<int>(m_segmentBest.size()); ++s)
        m_dirtySegments.push_back(s);
    for (int y = 0; y < height; ++y)
        m_dirtyRows.push_back(y);
}

void CExtremeIndex::Score_Set(int cell, int32_t score)
{
    m_score[cell] = score;
    const int y = cell / m_width;
    const int segment = y * m_segmentsPerRow + (cell - y * m_width) / m_segment;
    if (!m_segmentDirty[segment]) {
        m_segmentDirty[segment] = 1;
        m_dirtySegments.push_back(segment);
    }
}

void CExtremeIndex::Segment_Refresh(int segment)
{
    const int y = segment / m_segmentsPerRow;
    const int first = y * m_width + (segment - y * m_segmentsPerRow) * m_segment;
    int best = first;
    for (int cell = first + 1; cell < first + m_segment; ++cell) {
        if (m_score[cell] < m_score[best])
            best = cell;
    }
    m_segmentBest[segment] = best;
}

void CExtremeIndex::Row_Refresh(int row)
{
    const int first = row * m_segmentsPerRow;
    int best = m_segmentBest[first];
    for (int s = first + 1; s < first + m_segmentsPerRow; ++s) {
        if (m_score[m_segmentBest[s]] < m_score[best])
            best = m_segmentBest[s];
    }
    m_rowBest[row] = best;
}

int CExtremeIndex::Best()
{
    for (int segment : m_dirtySegments) {
        Segment_Refresh(segment);
        m_segmentDirty[segment] = 0;
        const int row = segment / m_segmentsPerRow;
        if (!m_rowDirty[row]) {
            m_rowDirty[row] = 1;
            m_dirtyRows.push_back(row);
        }
    }
    m_dirtySegments.clear();
    for (int row : m_dirtyRows) {
        Row_Refresh(row);
        m_rowDirty[row] = 0;
    }
    m_dirtyRows.clear();

    int best = -1;
    int32_t bestValue = 0;
    for (int row = 0; row < static_cast<int>(m_rowBest.size()); ++row) {
        const int32_t score = m_score[m_rowBest[row]];
        if (score >= kNone)
            continue;
        const int32_t value = score + m_bias[row];
        if (best < 0 || value < bestValue) {
            best = m_rowBest[row];
            bestValue = value;
        }
    }
    return best;
}

}  // namespace ThresholdGen
