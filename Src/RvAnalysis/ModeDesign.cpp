#include <RvAnalysis/ModeDesign.h>

namespace rv_analysis {

namespace {

const char* const kNotYet = "the mode designer is not implemented yet";

}  // namespace

const char* ErrorDistributionName(EErrorDistribution distribution)
{
    return distribution == EErrorDistribution::Normal ? "normal" : "uniform";
}

SErrorBudget ErrorBudget_None()
{
    SErrorBudget budget;
    budget.advanceErrorMin = budget.advanceErrorMax = 0.0;
    budget.advanceSamples = 1;
    budget.advanceJitter = 0.0;
    budget.dropGradientPercent = 0.0;
    return budget;
}

std::vector<SBudgetSample> ErrorBudget_Samples(const SErrorBudget&) { return {}; }

std::string ErrorBudget_Refusal(const SErrorBudget&) { return kNotYet; }

SPrinterErrors ErrorBudget_Errors(const SErrorBudget&, int, int, uint64_t) { return {}; }

std::string DesignLimits_Refusal(const SDesignLimits&) { return kNotYet; }

std::string DesignSettings_Refusal(const SDesignSettings&) { return kNotYet; }

SDesignResult Mode_Design(const SDesignLimits&, const SErrorBudget&, const SDesignSettings&,
                          const DesignProgress&)
{
    SDesignResult result;
    result.refusal = kNotYet;
    return result;
}

SDesignCandidate Mode_Judge(const SMaskParam& record, const SErrorBudget&, const SDesignSettings&)
{
    SDesignCandidate candidate;
    candidate.record = record;
    candidate.refusal = kNotYet;
    return candidate;
}

SModeTolerance Mode_Tolerance(const SMaskParam&, const SErrorBudget&, const SDesignSettings&,
                              double)
{
    SModeTolerance tolerance;
    tolerance.refusal = kNotYet;
    return tolerance;
}

}  // namespace rv_analysis
