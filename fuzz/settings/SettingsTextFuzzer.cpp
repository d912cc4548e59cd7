// SPDX-License-Identifier: MIT
// Fuzzes the settings-text parser: any bytes, read as UTF-16 code units, parse into a property
// map and a settings record; serialising and parsing again must give the same map and record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "settings/EncoderSettings.h"
#include "settings/PropertyMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tsacore::UString text(size / 2, u'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(char16_t));

    sova::PropertyMap map;
    map.FromText(text);
    sova::PropertyMap again;
    again.FromText(map.ToText());
    if (!(again == map)) std::abort();

    sova::EncoderSettings settings;
    settings.FromText(text);
    const tsacore::UString line = settings.ToText();
    sova::EncoderSettings reparsed;
    reparsed.FromText(line);
    if (!(reparsed == settings) || reparsed.ToText() != line) std::abort();
    return 0;
}
