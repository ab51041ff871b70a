/* A C host of the flat interface: the header compiles as C99 and the library links. */
#include <Rv_Halftone/Rv_Halftone.h>

#include <stdio.h>
#include <string.h>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);          \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

int main(void)
{
    SMaskParam_Test param;
    void* container = NULL;
    int counter = -1;
    const unsigned char* rows;

    CHECK(sizeof(SMaskParam_Test) == 49);
    memset(&param, 0, sizeof param);
    param.nozzleCount = 544;
    param.basePass = 4;
    param.xResPass = 1;
    param.yResPass = 1;
    param.colorCount = 2;
    param.bitsPerPixel = 2;
    param.colorTimes = 1;
    param.smoothLevelPercent = 100;

    CHECK(halfton_mask_container_create(&param, &container));
    CHECK(container != NULL);
    CHECK(halfton_mask_height(container) == 544);
    CHECK(halfton_mask_width(container) == 544);
    CHECK(halfton_mask_line_bytes(container) == 136);
    CHECK(halfton_mask_step_height(container) == 136);
    CHECK(halfton_mask_lead_blank_height(container) == 408);
    rows = halfton_mask_data(container, 0, &counter);
    CHECK(rows != NULL);
    CHECK(counter == 0);
    CHECK(halfton_mask_data(container, 2, &counter) == NULL);
    CHECK(halfton_mask_container_delete(&container));
    CHECK(container == NULL);
    /* A refused record leaves the handle alone. */
    param.colorTimes = 0;
    CHECK(!halfton_mask_container_create(&param, &container));
    CHECK(container == NULL);
    printf("C host: ok\n");
    return 0;
}
