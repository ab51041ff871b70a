// What a C++ host sees, for the Python binding's test to compare with: the parameter record as the
// public headers lay it out with the library's default record, one line "FIELD OFFSET DEFAULT" per
// field, then "size SIZE"; then one mask row as the flat interface hands it out,
// "row COLOR POSITION ROW HEX" (the record: the default one with 96 nozzles).
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone.h>

#include <cstddef>
#include <cstdio>
#include <iostream>

#define PRINT_FIELD(field)                                                                         \
    std::cout << #field << ' ' << offsetof(SMaskParam_Test, field) << ' ' << +record.field << '\n'

namespace {

constexpr int kColor = 1;
constexpr int kPosition = 3;
constexpr int kRow = 40;

bool PrintRow(SMaskParam_Test record)
{
    record.nozzleCount = 96;
    void* mask = nullptr;
    if (!halfton_mask_container_create(record, mask))
        return false;
    int counter = kPosition - 1;  // advanced before use
    const unsigned char* rows = halfton_mask_data(mask, kColor, counter);
    const int lineBytes = halfton_mask_line_bytes(mask);
    std::cout << "row " << kColor << ' ' << kPosition << ' ' << kRow << ' ';
    for (int i = 0; rows && i < lineBytes; ++i)
        std::printf("%02x", rows[kRow * lineBytes + i]);
    std::cout << '\n';
    halfton_mask_container_delete(mask);
    return rows != nullptr;
}

}  // namespace

int main()
{
    const SMaskParam_Test record = MaskParam_Test_Of(MaskParam_Default());
    PRINT_FIELD(nozzleCount);
    PRINT_FIELD(basePass);
    PRINT_FIELD(xResPass);
    PRINT_FIELD(yResPass);
    PRINT_FIELD(colorCount);
    PRINT_FIELD(bitsPerPixel);
    PRINT_FIELD(featherMode);
    PRINT_FIELD(featherPercent);
    PRINT_FIELD(featherNozzleType);
    PRINT_FIELD(colorTimes);
    PRINT_FIELD(smoothLevelPercent);
    PRINT_FIELD(resSplitMode);
    PRINT_FIELD(lessMaskPosition);
    std::cout << "size " << sizeof(SMaskParam_Test) << '\n';
    return PrintRow(record) ? 0 : 1;
}
