// SPDX-License-Identifier: MIT
#include "module/HostObjects.h"

#include <cstdio>

#include <tsacore/utility/StringConversion.h>

namespace sovahost {
void MessageSink::ShowMessage(const char16_t* text) {
    messages.emplace_back(text ? text : u"");
    if (echo) std::fprintf(stderr, "message from the plug-in: %s\n", ToUtf8(messages.back()).c_str());
}

void Registrar::SetIdentity(const char* identifier, const char16_t* displayName) {
    identities.emplace_back(identifier ? identifier : "", displayName ? displayName : u"");
}

namespace {
Registrar::Format MakeFormat(const char16_t* name, const sova::sdk::ExtensionList* extensions, bool again) {
    Registrar::Format format{name ? name : u"", {}, again};
    if (extensions)
        for (const char* extension : *extensions) format.extensions.emplace_back(extension ? extension : "");
    return format;
}
} // namespace

void Registrar::AddFormat(const char16_t* name, int32_t, const sova::sdk::ExtensionList* extensions, int32_t) {
    formats.push_back(MakeFormat(name, extensions, false));
}

void Registrar::AddFormatAgain(const char16_t* name, int32_t, const sova::sdk::ExtensionList* extensions, int32_t) {
    formats.push_back(MakeFormat(name, extensions, true));
}

int32_t AudioFormat::GetChannelType(int32_t channel) {
    auto found = channelTypes.find(channel);
    return found == channelTypes.end() ? 0 : found->second;
}

void* ReadRequest::GetChannelBuffer(int32_t channel) {
    return channel >= 0 && static_cast<size_t>(channel) < buffers.size() ? buffers[channel] : nullptr;
}

const void* WriteRequest::GetChannelBuffer(int32_t channel) {
    return channel >= 0 && static_cast<size_t>(channel) < buffers.size() ? buffers[channel] : nullptr;
}

std::string ToUtf8(const std::u16string& text) { return tsacore::utility::UTF16to8(text); }
std::u16string FromUtf8(const std::string& text) { return tsacore::utility::UTF8to16(text); }
} // namespace sovahost
