// A host of the installed analysis library: every installed RvAnalysis header is included, a test
// page is split by the print plan of a built mask, and its swaths keep the mode's promise.
#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PlaneQuality.h>
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>
#include <RvAnalysis/Recombination.h>
#include <RvAnalysis/Spectrum.h>
#include <RvAnalysis/TestPage.h>

#include <cstdio>

int main()
{
    // 96 nozzles, 4 passes, 1 colour, 2 bits, no feather.
    const SMaskParam param = {96, 4, 1, 1, 1, 2, 0, 0.0f, 1, 1, 100, 0, 0};
    CMaskData_Base mask;
    if (!mask.Create(param))
        return 1;
    const rv_analysis::CPrintPlan plan(mask);
    const rv_analysis::SPackedPage page = rv_analysis::MakeTestPage(300, 200, 2);
    rv_analysis::CPageSplitter splitter(plan, 0, page.Raster());
    rv_analysis::CRecombination check(plan, 0, page.Raster());
    splitter.ForEachSwath([&check](const rv_analysis::SSwath& swath) { check.Lay(swath); });
    const rv_analysis::SRecombinationVerdict verdict = check.Verdict();
    if (!verdict.met || !rv_analysis::Verify(plan, 0).met) {
        std::fprintf(stderr, "analysis_consumer: the split page does not keep its promise\n");
        return 1;
    }
    std::printf("analysis_consumer: ok\n");
    return 0;
}
