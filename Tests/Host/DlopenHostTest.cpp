// Acts as a real host: loads libRv_Halftone.so with dlopen and binds all eight functions by name.
#include <Rv_Halftone/Rv_Halftone.h>

#include "MaskParams.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

using CreateFn = bool (*)(const SMaskParam_Test&, void*&);
using DeleteFn = bool (*)(void*&);
using DataFn = const unsigned char* (*)(void*, int, int&);
using QueryFn = int (*)(void*);

class DlopenHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_library = dlopen(RV_HALFTONE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << dlerror();
    }
    void TearDown() override
    {
        if (m_library != nullptr)
            dlclose(m_library);
    }
    template <typename Fn> Fn Bind(const char* name)
    {
        void* symbol = dlsym(m_library, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn>(symbol);
    }
    void* m_library = nullptr;
};

}  // namespace

TEST_F(DlopenHost, BindsAllEightFunctionsByName)
{
    const auto create = Bind<CreateFn>("halfton_mask_container_create");
    const auto destroy = Bind<DeleteFn>("_Z29halfton_mask_container_deleteRPv");
    const auto data = Bind<DataFn>("halfton_mask_data");
    const auto height = Bind<QueryFn>("halfton_mask_height");
    const auto width = Bind<QueryFn>("halfton_mask_width");
    const auto lineBytes = Bind<QueryFn>("halfton_mask_line_bytes");
    const auto step = Bind<QueryFn>("halfton_mask_step_height");
    const auto lead = Bind<QueryFn>("halfton_mask_lead_blank_height");
    ASSERT_TRUE(create && destroy && data && height && width && lineBytes && step && lead);
    // The delete function keeps C++ linkage: its plain name is not exported.
    EXPECT_EQ(dlsym(m_library, "halfton_mask_container_delete"), nullptr);

    const SMaskParam_Test record = ToTestParam(DefaultMaskParam());
    void* container = nullptr;
    ASSERT_TRUE(create(record, container));
    EXPECT_EQ(height(container), 544);
    EXPECT_EQ(width(container), 544);
    EXPECT_EQ(lineBytes(container), 136);
    EXPECT_EQ(step(container), 136);
    EXPECT_EQ(lead(container), 408);
    int counter = -1;
    EXPECT_NE(data(container, 1, counter), nullptr);
    EXPECT_EQ(counter, 0);
    EXPECT_TRUE(destroy(container));
    EXPECT_EQ(container, nullptr);
}
