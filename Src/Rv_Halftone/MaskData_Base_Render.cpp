// CMaskData_Base: turning the fixed geometry into mask bytes.
#include <Rv_Halftone/MaskData_Base.h>

#include "Rv_Halftone_Internal.h"

// Sizes m_maskBlock to one block row of all mask bytes per colour, every byte 0: the renderers
// only OR bits in, so the zero fill is what leaves unfired pixels clear.
bool CMaskData_Base::MaskBlock_Size()
{
    const long long oneColor = static_cast<long long>(m_maskPositionCount) *
                               m_maskParam_Current.yResPass * m_maskHeight_NoneRes * m_maskLineBytes;
    if (!rv_halftone::FitsInt(oneColor) ||
        !m_maskBlock.Create(static_cast<int>(oneColor), m_maskParam_Current.colorCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool CMaskData_Base::CreateMaskData()
{
    if (!MaskBlock_Size()) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}
