// A host of the installed package: every installed header is included and used, so that each
// function they declare links (exported by the library, or inline), and the library's records
// reach the host's own sink with their scope.
#include <BoostLogWrapper/CustomBoostLog.h>
#include <RvBandData/BandData.h>
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/DecryptMask.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/MaskDataFactory.h>
#include <Rv_Halftone/MaskDataGenerator.h>
#include <Rv_Halftone/MaskDataGenerator_Sub.h>
#include <Rv_Halftone/MaskDataStorage.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/OverlapMask.h>
#include <Rv_Halftone/OverlapMaskStorage.h>
#include <Rv_Halftone/RawMaskData.h>
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>
#include <Rv_Halftone/SineMask.h>
#include <ZebCommon/CustomConditionVariable.h>
#include <ZebCommon/CustomThreadBase.h>
#include <ZebCommon/ExpandBuffer.h>
#include <ZebCommon/ZebQueue.h>

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

// Keeps the scope of the last "failure" record; the host registers nothing else.
struct ScopeSink : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding>
{
    std::string lastScope;
    void consume(const boost::log::record_view& record)
    {
        const auto scopes =
            boost::log::extract<boost::log::attributes::named_scope::value_type>("Scope", record);
        if (scopes && !scopes->empty())
            lastScope = scopes->back().scope_name.c_str();
    }
};

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "consumer: check failed: %s\n", #condition);                      \
            return 1;                                                                              \
        }                                                                                          \
    } while (false)

}  // namespace

int main()
{
    const auto backend = boost::make_shared<ScopeSink>();
    boost::log::core::get()->add_sink(
        boost::make_shared<boost::log::sinks::synchronous_sink<ScopeSink>>(backend));

    // The flat interface and its extension.
    const SMaskParam_Test param = {544, 4, 1, 1, 2, 2, 0, 0.0f, 1, 1, 100, 0, 0};
    void* mask = nullptr;
    CHECK(halfton_mask_container_create(param, mask));
    CHECK(halfton_mask_height(mask) == 544 && halfton_mask_line_bytes(mask) == 136);
    halfton_mask_container_delete(mask);
    CHECK(std::string(rv_halftone_version()).size() >= 5);

    // A refused record: the library's failure record carries its function's scope.
    SMaskParam refused = {};
    CHECK(CMaskDataFactory::MaskData_Create(refused) == nullptr);
    CHECK(backend->lastScope.find("Create") != std::string::npos);

    // The queue templates, which log through the library's logger.
    CZebQueue<int> queue(1);
    int value = 0;
    CHECK(queue.push(7) && !queue.push(8) && queue.pop(value) && value == 7);

    // The logging header's own declarations.
    std::ostringstream severity;
    severity << SeverityLevel_Error;
    CHECK(!severity.str().empty());
    ZEB_LOG(SeverityLevel_Info, "from the host");

    // One object of each exported class a host builds itself.
    CMaskDataStorage storage;
    OverlapMaskStorage overlaps;
    CDecryptMask ramps;
    CSineMask sine;
    CMaskBlock block;
    CBaseMaskData thresholds;
    CHECK(block.Create(8, 2) && thresholds.Create(4, 4, 1) && CRawMaskData::Width() == 544);
    CHECK(sine.Create(8, 40, 1, SinMaskType_Ripple) && ramps.Create(4, 4, 2));
    CMaskDataGenerator generator;
    generator.Stop();
    std::printf("consumer: ok\n");
    return 0;
}
