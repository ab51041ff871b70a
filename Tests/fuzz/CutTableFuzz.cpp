// Fuzz target: every cut-table builder with arbitrary arguments and two-part splits. The table ends
// at a page that may not be touched, so a write past it faults even without a sanitizer.
#include "CutTables/CutTables.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace tables = rv_halftone::cut_tables;

namespace {

// Longest table tried: long enough for the 64-bit level products to matter.
constexpr int kMaxRows = 70000;

class GuardedTable
{
public:
    explicit GuardedTable(long long entries)
    {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t bytes = static_cast<size_t>(entries) * sizeof(SCutTable);
        const size_t body = (bytes + page - 1) / page * page;
        m_size = body + page;
        void* base =
            mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        Require(base != MAP_FAILED, "guarded table mapped");
        m_base = static_cast<unsigned char*>(base);
        mprotect(m_base + body, page, PROT_NONE);
        m_table = reinterpret_cast<SCutTable*>(m_base + body - bytes);
        std::memset(m_table, 0xA5, bytes);
    }
    ~GuardedTable() { munmap(m_base, m_size); }
    GuardedTable(const GuardedTable&) = delete;
    GuardedTable& operator=(const GuardedTable&) = delete;
    SCutTable* Table() const { return m_table; }

private:
    unsigned char* m_base = nullptr;
    size_t m_size = 0;
    SCutTable* m_table = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int builder = in.TakeInRange(0, 9);
    const int rows = in.TakeInRange(-3, kMaxRows);
    const int step = in.TakeInRange(-3, kMaxRows);
    const int level = in.TakeInRange(-5, 110);

    switch (builder) {
    // The builders CMaskData_Base's static cut-table members forward to.
    case 0: {  // unfeathered: writes passes x rowsPerPass entries
        const int passes = in.TakeInRange(-2, 16);
        const long long written =
            passes > 0 && step > 0 ? static_cast<long long>(passes) * step : 0;
        if (written > kMaxRows)
            return 0;
        GuardedTable t(written);
        tables::Unfeathered_OneTime(t.Table(), step, passes);
        return 0;
    }
    case 1: {  // ramp: never writes outside its n entries
        GuardedTable t(rows > 0 ? rows : 0);
        tables::ThreePart_Ramp(rows > 0 ? t.Table() : nullptr, rows, step, level);
        return 0;
    }
    case 2: {  // uneven-step single cover
        GuardedTable t(rows > 0 ? rows : 0);
        tables::ThreePart_EqualCover(rows > 0 ? t.Table() : nullptr, rows, step);
        return 0;
    }
    default: break;
    }

    // The builders of a pass mask's table, with a head and a two-part split from the input;
    // the split is consistent only now and then.
    const int passes = in.TakeInRange(1, 16);
    const int memberStep = in.TakeInRange(1, 200);
    const int feather = in.TakeInRange(0, memberStep);
    const bool consistent = in.TakeInRange(0, 3) != 0;
    const int times = in.TakeInRange(-2, 10);
    const int memberLevel = in.TakeInRange(-5, 110);
    const auto family = static_cast<EFeatherFamily>(in.TakeInRange(0, 3));
    STwoPartSplit split = {feather, memberStep - feather, (memberStep - feather) * passes,
                           feather * (passes + 1)};
    if (!consistent)
        split = {feather, in.TakeInRange(-5, 50), in.TakeInRange(-5, 500), in.TakeInRange(-5, 500)};
    const int tableRows = passes * memberStep + feather;
    GuardedTable t(tableRows);
    SCutTable* table = t.Table();
    // clang-format off
    switch (builder) {
    case 3: tables::Build({family, passes, memberStep, tableRows, times, memberLevel, split}, table); break;
    case 4: tables::Unfeathered_ColorTimes(table, passes, times, memberStep); break;
    case 5: tables::TwoPart(table, passes, memberStep, times, split); break;
    case 6: tables::ThreePart_Ramp(table, tableRows, memberStep, memberLevel); break;
    case 7: tables::ThreePart_GroupsThenRamp(table, tableRows, memberStep, passes, times, memberLevel); break;
    case 8: tables::ThreePart_Widened(table, tableRows, memberStep, memberLevel, times); break;
    default: tables::TwoPart_Feather(table, feather * (passes + 1), feather); break;
    }
    // clang-format on
    return 0;
}
