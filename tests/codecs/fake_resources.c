/* A module that publishes a resource table the way the plug-in does, for the resource manager. */
#include <stddef.h>
#include <stdint.h>

struct ResourceEntry {
    const char* type;
    const char* name;
    const uint8_t* data;
    size_t size;
};

static const uint8_t kLayout[] = "<layout/>";
static const uint8_t kIcon[] = {1, 2, 3};

const struct ResourceEntry SovaModuleResources[] = {
    {"PNG", "ICON", kIcon, sizeof kIcon},
    {"XML", "FORMATOPTIONS", kLayout, sizeof kLayout - 1},
    {NULL, NULL, NULL, 0},
};
