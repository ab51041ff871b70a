#include "ThresholdGenerator.h"

#include "EnergyKernel.h"
#include "ExtremeIndex.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace ThresholdGen {

// Both rank gaps exceed 18,496 ranks, a sixteenth of the scale (about 4,100 levels), so the cells
// of any cut range that narrow never touch; B keeps its neighbours further apart than A. Larger
// gaps begin to cost blue-noise quality and, past about 40,000, force picks. The row term starts at
// three eighths of the ranks and ends at the middle cut, where plane 0's rows are counted; without
// it those rows spread to about 247..295 cells.
const SMatrixSettings kMatrixA{0x5A17C0DE0001ull, kCells / 10, 20000, 4000, kCells / 8 * 3};
const SMatrixSettings kMatrixB{0x5A17C0DE0002ull, kCells / 10, 24000, 4000, kCells / 8 * 3};

namespace {

constexpr uint64_t kScale = rv_halftone::planes::kLevelScale;
constexpr int kSegment = 16;      // cells per segment of the extreme index
constexpr int kRowLevel = 32768;  // plane 0 has 256 to 288 cells below this level in every row
constexpr int kSwapLimit = 4 * kCells;

// The energy kernel widens as the minority pattern thins out, so that sparse cells still see each
// other: sigma = 1.5 * 1.25^i, stage i used while the minority density is at most 1 / (4 sigma^2),
// i.e. sigma stays near half the mean spacing. 2 sigma^2 is given in sixteenths, the radius is
// about 4.5 sigma.
struct SKernelStage
{
    uint64_t twoSigmaSq16;
    int radius;
};
constexpr std::array<SKernelStage, 11> kStages{{{72, 7},
                                                {113, 9},
                                                {176, 11},
                                                {275, 14},
                                                {429, 17},
                                                {671, 21},
                                                {1048, 26},
                                                {1637, 33},
                                                {2558, 41},
                                                {3997, 51},
                                                {6245, 63}}};

uint64_t SplitMix64(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::array<int, 4> Neighbours(int cell)
{
    const int y = cell / kSize;
    const int x = cell - y * kSize;
    const int left = y * kSize + (x + kSize - 1) % kSize;
    const int right = y * kSize + (x + 1) % kSize;
    const int up = ((y + kSize - 1) % kSize) * kSize + x;
    const int down = ((y + 1) % kSize) * kSize + x;
    return {left, right, up, down};
}

// Initial: the random start pattern settles by swapping its tightest cluster into its largest void.
// Cluster: the "on" cells are ranked one by one, tightest cluster first, and switched off.
// Void: the "off" cells are ranked one by one, largest void first, and switched on.
enum class EMode
{
    Initial,
    Cluster,
    Void
};

class CRanker
{
public:
    explicit CRanker(const SMatrixSettings& settings);
    std::vector<int32_t> Run(SRankReport& report);

private:
    void Pattern_Initial(SRankReport& report);
    void Pattern_FromRanks(bool rankedOn);
    void Phase_Run(EMode mode, int first, int last, SRankReport& report);
    int Stage_For(int onCount) const;
    void Kernel_Use(int stage);
    void Energy_Spread(int cell, int sign, bool rescore);
    void Cell_Toggle(int cell);
    void Cell_Rescore(int cell);
    void Scores_Rebuild();
    void Blocks_Rebuild();
    void RowWeight_Set(int32_t weight);
    int Pick_Forced() const;

    const SMatrixSettings& m_settings;
    const int m_middleRank;  // first rank at or above the row-balance level
    std::vector<uint8_t> m_on;
    std::vector<int32_t> m_energy;
    std::vector<int32_t> m_rank;
    std::vector<int32_t> m_cellOfRank;
    // A cell is free once m_time reaches m_block: its ranked neighbours are then far enough back.
    std::vector<int32_t> m_block;
    std::vector<int32_t> m_rowOn;
    int m_onCount = 0;
    SEnergyKernel m_kernel;
    int m_stage = -1;
    CExtremeIndex m_clusters;
    CExtremeIndex m_voids;
    EMode m_mode = EMode::Initial;
    int m_dir = 1;       // +1 while ranks count up, -1 while they count down
    int32_t m_time = 0;  // m_dir * the rank about to be given
    int32_t m_rowWeight = 0;
};

CRanker::CRanker(const SMatrixSettings& settings)
    : m_settings(settings), m_middleRank(Rank_OfLevel(kRowLevel)), m_on(kCells, 0),
      m_energy(kCells, 0), m_rank(kCells, -1), m_cellOfRank(kCells, -1), m_block(kCells, INT32_MIN),
      m_rowOn(kSize, 0), m_clusters(kSize, kSize, kSegment), m_voids(kSize, kSize, kSegment)
{
}

// Void-and-cluster: a random pattern of a tenth of the cells settles into blue noise; its cells are
// ranked downwards by removing the tightest cluster again and again; the empty cells are ranked
// upwards by filling the largest void up to the middle cut, and from there on by removing the
// tightest cluster of the remaining empty cells. Every pick refuses a cell next to one ranked less
// than minRankGap ranks before, across the phase boundaries too.
std::vector<int32_t> CRanker::Run(SRankReport& report)
{
    Pattern_Initial(report);
    const int initial = m_onCount;
    Phase_Run(EMode::Cluster, initial - 1, 0, report);
    Pattern_FromRanks(true);
    Phase_Run(EMode::Void, initial, m_middleRank - 1, report);
    // From the middle on the unranked cells are the minority: rank their tightest clusters, which
    // with the kernel widening keeps the light end as even as the dark one.
    Pattern_FromRanks(false);
    Phase_Run(EMode::Cluster, m_middleRank, kCells - 1, report);
    return m_rank;
}

void CRanker::Pattern_Initial(SRankReport& report)
{
    std::vector<int32_t> order(kCells);
    for (int i = 0; i < kCells; ++i)
        order[i] = i;
    uint64_t state = m_settings.seed;
    for (int i = 0; i < m_settings.initialCount; ++i) {
        const int pick =
            i + static_cast<int>(SplitMix64(state) % static_cast<uint64_t>(kCells - i));
        std::swap(order[i], order[pick]);
        m_on[order[i]] = 1;
    }
    m_onCount = m_settings.initialCount;
    for (int cell = 0; cell < kCells; ++cell)
        m_rowOn[cell / kSize] += m_on[cell];

    m_mode = EMode::Initial;
    Kernel_Use(0);
    for (int swap = 0; swap < kSwapLimit; ++swap) {
        const int cluster = m_clusters.Best();
        Cell_Toggle(cluster);
        const int gap = m_voids.Best();
        if (gap == cluster) {
            Cell_Toggle(cluster);
            break;
        }
        Cell_Toggle(gap);
        ++report.initialSwaps;
    }
}

void CRanker::Pattern_FromRanks(bool rankedOn)
{
    std::fill(m_rowOn.begin(), m_rowOn.end(), 0);
    m_onCount = 0;
    for (int cell = 0; cell < kCells; ++cell) {
        m_on[cell] = (m_rank[cell] >= 0) == rankedOn;
        m_onCount += m_on[cell];
        m_rowOn[cell / kSize] += m_on[cell];
    }
}

void CRanker::Phase_Run(EMode mode, int first, int last, SRankReport& report)
{
    m_mode = mode;
    m_dir = last >= first ? 1 : -1;
    m_time = m_dir * first;
    Blocks_Rebuild();
    m_stage = -1;
    Kernel_Use(mode == EMode::Cluster ? Stage_For(m_onCount) : 0);
    CExtremeIndex& index = mode == EMode::Cluster ? m_clusters : m_voids;

    for (int rank = first;; rank += m_dir) {
        if (mode == EMode::Cluster && Stage_For(m_onCount) != m_stage)
            Kernel_Use(Stage_For(m_onCount));
        const bool balancing = mode == EMode::Void && rank >= m_settings.rowStartRank;
        RowWeight_Set(balancing ? m_settings.rowWeight : 0);

        int cell = index.Best();
        if (cell < 0) {
            cell = Pick_Forced();
            ++report.forcedPicks;
        }
        m_rank[cell] = rank;
        m_cellOfRank[rank] = cell;
        for (int n : Neighbours(cell))
            m_block[n] = std::max(m_block[n], m_dir * rank + m_settings.minRankGap);
        m_time = m_dir * (rank + m_dir);
        Cell_Toggle(cell);

        // The neighbours of the cell ranked minRankGap ranks back may be free now.
        const int back = rank + m_dir - m_dir * m_settings.minRankGap;
        if (back >= 0 && back < kCells && m_cellOfRank[back] >= 0) {
            for (int n : Neighbours(m_cellOfRank[back]))
                Cell_Rescore(n);
        }
        if (rank == last)
            break;
    }
}

int CRanker::Stage_For(int onCount) const
{
    int stage = 0;
    while (stage + 1 < static_cast<int>(kStages.size()) &&
           static_cast<uint64_t>(onCount) * kStages[stage + 1].twoSigmaSq16 <= 8ull * kCells)
        ++stage;
    return stage;
}

void CRanker::Kernel_Use(int stage)
{
    if (stage != m_stage) {
        m_kernel = Kernel_Gaussian(kStages[stage].twoSigmaSq16, 16, kStages[stage].radius);
        m_stage = stage;
    }
    std::fill(m_energy.begin(), m_energy.end(), 0);
    for (int cell = 0; cell < kCells; ++cell) {
        if (m_on[cell])
            Energy_Spread(cell, 1, false);
    }
    Scores_Rebuild();
}

void CRanker::Energy_Spread(int cell, int sign, bool rescore)
{
    const int radius = m_kernel.radius;
    const int cy = cell / kSize;
    const int cx = cell - cy * kSize;
    std::array<int, kSize> columns;  // wrapped column of each window column
    for (int dx = -radius; dx <= radius; ++dx)
        columns[dx + radius] = (cx + dx + kSize) % kSize;
    for (int dy = -radius; dy <= radius; ++dy) {
        const int rowStart = ((cy + dy + kSize) % kSize) * kSize;
        for (int dx = -radius; dx <= radius; ++dx) {
            const int32_t weight = m_kernel.At(dx, dy);
            if (weight == 0)
                continue;
            const int target = rowStart + columns[dx + radius];
            m_energy[target] += sign * weight;
            if (rescore)
                Cell_Rescore(target);
        }
    }
}

void CRanker::Cell_Toggle(int cell)
{
    const int sign = m_on[cell] ? -1 : 1;
    const int row = cell / kSize;
    m_on[cell] = !m_on[cell];
    m_onCount += sign;
    m_rowOn[row] += sign;
    m_voids.Bias_Set(row, m_rowWeight * m_rowOn[row]);
    Energy_Spread(cell, sign, true);
}

void CRanker::Cell_Rescore(int cell)
{
    const bool free = m_block[cell] <= m_time;
    if (m_mode != EMode::Void)
        m_clusters.Score_Set(cell, m_on[cell] && free ? -m_energy[cell] : CExtremeIndex::kNone);
    if (m_mode != EMode::Cluster)
        m_voids.Score_Set(cell, !m_on[cell] && free ? m_energy[cell] : CExtremeIndex::kNone);
}

void CRanker::Scores_Rebuild()
{
    for (int cell = 0; cell < kCells; ++cell)
        Cell_Rescore(cell);
}

void CRanker::Blocks_Rebuild()
{
    for (int cell = 0; cell < kCells; ++cell) {
        int32_t block = INT32_MIN;
        for (int n : Neighbours(cell)) {
            if (m_rank[n] >= 0)
                block = std::max(block, m_dir * m_rank[n] + m_settings.minRankGap);
        }
        m_block[cell] = block;
    }
}

void CRanker::RowWeight_Set(int32_t weight)
{
    if (weight == m_rowWeight)
        return;
    m_rowWeight = weight;
    for (int row = 0; row < kSize; ++row)
        m_voids.Bias_Set(row, m_rowWeight * m_rowOn[row]);
}

// Every candidate touches a cell ranked too recently: take the one whose conflict is oldest, then
// the best energy, then the lowest index.
int CRanker::Pick_Forced() const
{
    int best = -1;
    std::tuple<int32_t, int64_t> bestKey{};
    for (int cell = 0; cell < kCells; ++cell) {
        const bool candidate = m_mode == EMode::Cluster ? m_on[cell] : !m_on[cell];
        if (!candidate)
            continue;
        const int64_t score = m_mode == EMode::Cluster
                                  ? -static_cast<int64_t>(m_energy[cell])
                                  : int64_t{m_energy[cell]} + m_voids.Bias(cell / kSize);
        const std::tuple<int32_t, int64_t> key{m_block[cell], score};
        if (best < 0 || key < bestKey) {
            best = cell;
            bestKey = key;
        }
    }
    return best;
}

}  // namespace

uint16_t Level_OfRank(int32_t rank)
{
    return static_cast<uint16_t>(static_cast<uint64_t>(rank) * kScale / kCells);
}

int32_t Rank_OfLevel(int level)
{
    return static_cast<int32_t>((static_cast<uint64_t>(level) * kCells + kScale - 1) / kScale);
}

std::vector<int32_t> Ranks_Generate(const SMatrixSettings& settings, SRankReport* report)
{
    SRankReport local;
    CRanker ranker(settings);
    std::vector<int32_t> ranks = ranker.Run(report ? *report : local);
    return ranks;
}

std::vector<uint16_t> Matrix_Generate(const SMatrixSettings& settings, SRankReport* report)
{
    const std::vector<int32_t> ranks = Ranks_Generate(settings, report);
    std::vector<uint16_t> levels(kCells);
    for (int cell = 0; cell < kCells; ++cell)
        levels[cell] = Level_OfRank(ranks[cell]);
    return levels;
}

}  // namespace ThresholdGen
