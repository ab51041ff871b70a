#pragma once
// Finds the cell of lowest score in a grid whose scores change a few at a time. Rows are cut into
// segments that remember their minimum, rows remember the minimum over their segments, and a
// query rescans only what changed plus the row minima. Each row carries an additive bias, so a
// term that depends on the row alone (the row balance) costs one write per row, not one per cell.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ThresholdGen {

class CExtremeIndex
{
public:
    // A cell with this score is never chosen.
    static constexpr int32_t kNone = INT32_MAX / 2;

    CExtremeIndex(int width, int height, int segment);

    void Score_Set(int cell, int32_t score);
    int32_t Score(int cell) const { return m_score[cell]; }
    void Bias_Set(int row, int32_t bias) { m_bias[row] = bias; }
    int32_t Bias(int row) const { return m_bias[row]; }

    // The cell with the lowest score plus row bias, the lowest index among equals; -1 when every
    // score is kNone.
    int Best();

private:
    void Segment_Refresh(int segment);
    void Row_Refresh(int row);

    int m_width;
    int m_segment;
    int m_segmentsPerRow;
    std::vector<int32_t> m_score;
    std::vector<int32_t> m_bias;
    std::vector<int32_t> m_segmentBest;  // cell index of the segment minimum
    std::vector<int32_t> m_rowBest;      // cell index of the row minimum
    std::vector<uint8_t> m_segmentDirty;
    std::vector<uint8_t> m_rowDirty;
    std::vector<int32_t> m_dirtySegments;
    std::vector<int32_t> m_dirtyRows;
};

}  // namespace ThresholdGen
