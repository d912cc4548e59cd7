# SPDX-License-Identifier: MIT
# cmake -DINPUT=file -DOUTPUT=file.cpp -DTYPE=XML -DNAME=FORMATOPTIONS -P EmbedResource.cmake
# Writes a source file holding the bytes of INPUT and the module's exported resource table
# (exported because the framework library finds it by name with dlsym on the module's handle).
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the initialiser into lines of 32 bytes.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
"// Generated from ${INPUT}; do not edit.
#include <cstdint>

#include <tsaui/utility/OS_ResourceManager.h>

namespace {
const uint8_t kResourceBytes[${size}] = {
    ${bytes}
};
} // namespace

extern \"C\" __attribute__((visibility(\"default\"))) const tsaui::utility::ResourceEntry SovaModuleResources[] = {
    {\"${TYPE}\", \"${NAME}\", kResourceBytes, sizeof kResourceBytes},
    {nullptr, nullptr, nullptr, 0},
};
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
