// Builds the default mask through the installed headers and library.
#include <Rv_Halftone/Rv_Halftone.h>

int main()
{
    const SMaskParam_Test param = {544, 4, 1, 1, 2, 2, 0, 0.0f, 1, 1, 100, 0, 0};
    void* mask = nullptr;
    if (!halfton_mask_container_create(param, mask))
        return 1;
    const bool ok = halfton_mask_height(mask) == 544 && halfton_mask_line_bytes(mask) == 136;
    halfton_mask_container_delete(mask);
    return ok ? 0 : 1;
}
