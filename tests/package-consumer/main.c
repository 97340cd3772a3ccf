/* Checks the picture bmp2tvx_embed() linked in with tvx.h, as a GBA program would before showing
 * it: exit status 0 when it is a valid Index16 tile image file, 1 otherwise. */
#include <stdio.h>

#include "logo_tvx.h"
#include "tvx.h"

int main(void) {
    if (!tvx_valid(logo_tvx, logo_tvx_size)) {
        fprintf(stderr, "the embedded file (%u bytes) is not a valid tile image file\n",
                logo_tvx_size);
        return 1;
    }
    if (tvx_format(logo_tvx) != TVX_INDEX16) {
        fprintf(stderr, "the embedded file is not Index16\n");
        return 1;
    }
    printf("embedded %u bytes: Index16, %u x %u pixels\n", logo_tvx_size,
           (unsigned)tvx_width(logo_tvx), (unsigned)tvx_height(logo_tvx));
    return 0;
}
