/* A C host of the flat interface and its C extension: the headers compile as C99, the library
 * links, and a host without Boost.Log receives or silences the library's records. */
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <stdio.h>
#include <string.h>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);          \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

struct SRecords
{
    int count;
    int failures;
};

static void CountRecord(int severity, const char* text, const char* scope, void* user)
{
    struct SRecords* records = (struct SRecords*)user;
    (void)scope;
    ++records->count;
    if (severity == 2 && strcmp(text, "failure") == 0)
        ++records->failures;
}

int main(void)
{
    struct SRecords records = {0, 0};
    char reason[256];
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

    rv_halftone_set_log_callback(CountRecord, &records);
    CHECK(rv_halftone_record_reason(&param, reason, sizeof reason));
    CHECK(reason[0] == '\0');
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
    CHECK(rv_halftone_mask_position_count(container) == 4);
    CHECK(rv_halftone_mask_color_count(container) == 2);
    CHECK(rv_halftone_mask_bits_per_pixel(container) == 2);
    CHECK(rv_halftone_mask_bytes_per_position(container) == 544 * 136);
    rv_halftone_mask_delete(&container);
    CHECK(container == NULL);
    rv_halftone_mask_delete(&container);
    rv_halftone_mask_delete(NULL);
    CHECK(rv_halftone_mask_position_count(NULL) == 0);
    CHECK(records.count > 0 && records.failures == 0);

    /* A refused record leaves the handle alone, says why, and its failure records (the build's
     * and the flat function's) reach the callback. */
    param.colorTimes = 0;
    CHECK(!rv_halftone_record_reason(&param, reason, sizeof reason));
    CHECK(strstr(reason, "colorTimes 0") != NULL);
    CHECK(!rv_halftone_record_reason(&param, NULL, 0));
    CHECK(!rv_halftone_record_reason(NULL, reason, sizeof reason));
    CHECK(!halfton_mask_container_create(&param, &container));
    CHECK(container == NULL);
    CHECK(records.failures == 2);
    /* Silenced: nothing more arrives. */
    rv_halftone_set_log_callback(NULL, NULL);
    records.count = 0;
    CHECK(!halfton_mask_container_create(&param, &container));
    CHECK(records.count == 0);
    printf("C host: ok\n");
    return 0;
}
