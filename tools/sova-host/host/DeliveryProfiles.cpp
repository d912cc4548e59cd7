// SPDX-License-Identifier: MIT
#include "host/DeliveryProfiles.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "host/LayerTwoRules.h"

namespace sovahost {
namespace {
constexpr const char* kDabCoding = "ETSI TS 103 466 (DAB audio coding, MPEG Layer II) with ETSI EN 300 401";
constexpr const char* kDvbCoding = "ETSI TS 101 154 (DVB video and audio coding)";
constexpr const char* kR128 = "EBU R 128 (tech.ebu.ch/publications/r128), meter by ITU-R BS.1770 and EBU Tech 3341";
constexpr const char* kPrssFormats = "PRSS ContentDepot file formats (prss.org/file-formats)";
constexpr const char* kPrssLoudness = "PRSS Audio Loudness Standard, 2014 (prss.org/loudness)";
constexpr const char* kPrssEncoding = "PRSS ContentDepot encoding guide (prss.org/contentdepot-producers-encoding.html)";

constexpr int32_t kStereo = 0, kJoint = 1, kDual = 2, kMono = 3;

std::vector<DeliveryProfile> MakeProfiles() {
    DeliveryProfile dab;
    dab.name = "dab";
    dab.title = "DAB digital radio, MPEG Layer II";
    dab.rates = {{48000, 24000}, kDabCoding};
    dab.modes = {{kStereo, kJoint, kDual, kMono}, kDabCoding};
    dab.crc = {true, kDabCoding};
    // At 48 and 24 kHz every frame is a whole number of bytes: a padding slot never occurs.
    dab.padding = {false, kDabCoding, false};
    dab.notes = {{"bitrate: every Layer II bitrate of the rate (48 kHz: 32 to 192 kbit/s mono, 64 to 384 with two "
                  "channels; 24 kHz: 8 to 160)",
                  kDabCoding},
                 {"not written: the DAB frame's own last bytes (scale-factor CRC, F-PAD, X-PAD), added by the DAB "
                  "audio encoder of the multiplex",
                  kDabCoding}};

    DeliveryProfile dvb;
    dvb.name = "dvb";
    dvb.title = "DVB television audio, MPEG-1 Layer II";
    dvb.rates = {{48000}, kDvbCoding, false};
    dvb.notes = {{"bitrate: every MPEG-1 Layer II bitrate at 48 kHz (free format excluded; sova-host never writes it)",
                  kDvbCoding, false},
                 {"loudness: not part of the coding document; European broadcasters apply EBU R 128 (--profile ebu)",
                  kR128}};

    DeliveryProfile ebu;
    ebu.name = "ebu";
    ebu.title = "EBU R 128 loudness, any rate and bitrate";
    ebu.loudnessLufs = {-23.0, kR128};
    ebu.loudnessToleranceLu = 1.0;
    ebu.truePeakDbtp = {-1.0, kR128};
    ebu.notes = {{"a lower true-peak ceiling ahead of lossy coding (--true-peak sets one)",
                  "EBU Tech 3343 and EBU Tech 3344", false}};

    DeliveryProfile prss;
    prss.name = "prss";
    prss.title = "PRSS ContentDepot (US public radio), broadcast-quality MP2";
    prss.rates = {{44100}, kPrssFormats};
    prss.monoBitrate = {128, kPrssFormats};
    prss.stereoBitrate = {256, kPrssFormats};
    prss.modes = {{kStereo, kMono}, kPrssFormats};
    prss.padding = {false, kPrssFormats};
    prss.loudnessLufs = {-24.0, kPrssLoudness};
    prss.loudnessToleranceLu = 2.0;
    prss.truePeakDbtp = {-2.0, kPrssLoudness};
    prss.container = {Container::RawMp2, kPrssFormats};
    prss.edgeSilenceSeconds = {0.5, kPrssEncoding};
    prss.notes = {{"no ID3 tags (sova-host writes none)", kPrssFormats},
                  {"word length 16 bits (of the master the MP2 is made from)", kPrssFormats},
                  {"sample peaks at most -3 dBFS, for meters without true peak", kPrssLoudness}};
    return {dab, dvb, ebu, prss};
}

std::string Cite(const char* source, bool confirmed) {
    return fmt::format("{}{}", source, confirmed ? "" : "; not confirmed in the document's own text");
}

template <class T>
std::string Cite(const Required<T>& value) {
    return Cite(value.source, value.confirmed);
}

// "a", "a or b", "a, b or c"
std::string OneOf(const std::vector<std::string>& words) {
    if (words.size() < 2) return words.empty() ? "" : words.front();
    return fmt::format("{} or {}", fmt::join(words.begin(), words.end() - 1, ", "), words.back());
}

std::string RatesWords(const std::vector<int32_t>& rates) {
    std::vector<std::string> words;
    for (int32_t rate : rates) words.push_back(fmt::format("{} Hz ({})", rate, layer2::VersionName(rate)));
    return OneOf(words);
}

std::string ModeWord(int32_t mode) { return ChannelModeName(mode, mode == kMono); }

std::string ModesWords(const std::vector<int32_t>& modes) {
    std::vector<std::string> words;
    for (int32_t mode : modes) words.push_back(ModeWord(mode));
    return OneOf(words);
}

std::string BitratesWords(const DeliveryProfile& profile) {
    std::vector<std::string> words;
    if (profile.monoBitrate) words.push_back(fmt::format("{} kbit/s mono", profile.monoBitrate->value));
    if (profile.stereoBitrate) words.push_back(fmt::format("{} kbit/s stereo", profile.stereoBitrate->value));
    return fmt::format("{}", fmt::join(words, ", "));
}

const char* ContainerWords(Container container) {
    return container == Container::RawMp2 ? "raw MP2 frames (.mp2)" : "broadcast WAV (.wav)";
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

std::string LoudnessWords(const DeliveryProfile& profile) {
    return fmt::format("{:g} LUFS integrated (± {:g} LU)", profile.loudnessLufs->value, profile.loudnessToleranceLu);
}

bool Contains(const std::vector<int32_t>& values, int32_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// "-b 192 contradicts --profile prss: PRSS ... takes 256 kbit/s stereo (source: ...)"
template <class T>
std::string Contradiction(const std::string& asked, const DeliveryProfile& profile, const std::string& takes,
                          const Required<T>& value) {
    return fmt::format("{} contradicts --profile {}: {} takes {} (source: {})", asked, profile.name, profile.title, takes,
                       Cite(value));
}

std::optional<Required<int32_t>> FixedBitrate(const DeliveryProfile& profile, bool mono) {
    return mono ? profile.monoBitrate : profile.stereoBitrate;
}

// The mode the profile writes where none was asked for, when it does not take them all.
std::optional<int32_t> ProfileMode(const DeliveryProfile& profile, bool mono) {
    if (!profile.modes || profile.modes->value.size() == 4) return std::nullopt;
    for (int32_t mode : profile.modes->value)
        if ((mode == kMono) == mono) return mode;
    return std::nullopt;
}
} // namespace

const std::vector<DeliveryProfile>& DeliveryProfiles() {
    static const std::vector<DeliveryProfile> profiles = MakeProfiles();
    return profiles;
}

const DeliveryProfile* FindDeliveryProfile(std::string_view name) {
    for (const DeliveryProfile& profile : DeliveryProfiles())
        if (name == profile.name) return &profile;
    return nullptr;
}

std::string DeliveryProfileNames() {
    std::vector<std::string> names;
    for (const DeliveryProfile& profile : DeliveryProfiles()) names.emplace_back(profile.name);
    return fmt::format("{}", fmt::join(names, ", "));
}

std::string DeliveryProfileListing() {
    std::string text;
    const auto line = [&text](const std::string& what, const std::string& value, const std::string& source) {
        text += fmt::format("  {}: {}\n      source: {}\n", what, value, source);
    };
    for (const DeliveryProfile& p : DeliveryProfiles()) {
        text += fmt::format("{}: {}\n", p.name, p.title);
        if (p.rates) line("rate", RatesWords(p.rates->value), Cite(*p.rates));
        if (p.monoBitrate || p.stereoBitrate)
            line("bitrate", BitratesWords(p), Cite(p.stereoBitrate ? *p.stereoBitrate : *p.monoBitrate));
        if (p.modes) line("mode", ModesWords(p.modes->value), Cite(*p.modes));
        if (p.crc) line("CRC", OnOff(p.crc->value), Cite(*p.crc));
        if (p.padding) line("padding", OnOff(p.padding->value), Cite(*p.padding));
        if (p.loudnessLufs) line("loudness", LoudnessWords(p), Cite(*p.loudnessLufs));
        if (p.truePeakDbtp) line("true peak", fmt::format("at most {:g} dBTP", p.truePeakDbtp->value), Cite(*p.truePeakDbtp));
        if (p.container) line("container", ContainerWords(p.container->value), Cite(*p.container));
        if (p.edgeSilenceSeconds)
            line("silence", fmt::format("at least {:g} s at head and tail (checked, not added)", p.edgeSilenceSeconds->value),
                 Cite(*p.edgeSilenceSeconds));
        for (const DeliveryNote& note : p.notes)
            line("also", note.text, Cite(note.source, note.confirmed));
    }
    return text;
}

std::vector<std::string> ProfileContradictions(const DeliveryProfile& p, const DeliveryRequest& request) {
    std::vector<std::string> found;
    if (p.rates && request.rate && !Contains(p.rates->value, request.rate->value))
        found.push_back(Contradiction(request.rate->option, p, RatesWords(p.rates->value), *p.rates));
    if ((p.monoBitrate || p.stereoBitrate) && request.bitrate &&
        !(p.monoBitrate && p.monoBitrate->value == request.bitrate->value) &&
        !(p.stereoBitrate && p.stereoBitrate->value == request.bitrate->value))
        found.push_back(Contradiction(request.bitrate->option, p, BitratesWords(p),
                                      p.stereoBitrate ? *p.stereoBitrate : *p.monoBitrate));
    if (p.modes && request.mode && request.mode->value >= 0 && !Contains(p.modes->value, request.mode->value))
        found.push_back(Contradiction(request.mode->option, p, ModesWords(p.modes->value), *p.modes));
    if (p.crc && request.crc && request.crc->value != p.crc->value)
        found.push_back(Contradiction(request.crc->option, p, "CRC " + OnOff(p.crc->value), *p.crc));
    if (p.padding && request.padding && request.padding->value != p.padding->value)
        found.push_back(Contradiction(request.padding->option, p, "padding " + OnOff(p.padding->value), *p.padding));
    if (p.loudnessLufs && request.loudnessLufs && std::abs(request.loudnessLufs->value - p.loudnessLufs->value) > 1e-6)
        found.push_back(Contradiction(request.loudnessLufs->option, p, LoudnessWords(p), *p.loudnessLufs));
    // A lower ceiling is stricter than the profile's, and fine.
    if (p.truePeakDbtp && request.truePeakDbtp && request.truePeakDbtp->value > p.truePeakDbtp->value + 1e-6)
        found.push_back(Contradiction(request.truePeakDbtp->option, p,
                                      fmt::format("a true peak of at most {:g} dBTP", p.truePeakDbtp->value),
                                      *p.truePeakDbtp));
    if (p.container && request.container && request.container->value != p.container->value)
        found.push_back(Contradiction(request.container->option, p, ContainerWords(p.container->value), *p.container));
    return found;
}

EncodePlan PlanEncodeFor(const DeliveryProfile* profile, EncodeRequest request) {
    if (!profile) return PlanEncode(request);
    const DeliveryProfile& p = *profile;
    if (!request.rate && p.rates) request.rate = p.rates->value.front();
    EncodePlan plan = PlanEncode(request);
    if (plan.rate == 0) return plan; // refused before the format was known
    // The channels are known now: the profile's bitrate and mode for them, where none was asked for.
    bool again = false;
    if (const auto fixed = FixedBitrate(p, plan.mono); fixed && !request.bitrate) {
        request.bitrate = fixed->value;
        again = true;
    }
    if (const auto mode = ProfileMode(p, plan.mono); mode && request.mode.value_or(-1) == -1) {
        request.mode = *mode;
        again = true;
    }
    if (again) plan = PlanEncode(request);

    // The profile's own words go before Layer II's: they say what to ask for instead.
    const std::string modeName = ChannelModeName(plan.mode, plan.mono);
    if (p.rates && !Contains(p.rates->value, plan.rate))
        plan.refusal = Contradiction(fmt::format("the rate {} Hz", plan.rate), p, RatesWords(p.rates->value), *p.rates);
    else if (const auto fixed = FixedBitrate(p, plan.mono); fixed && fixed->value != plan.bitrate)
        plan.refusal = Contradiction(fmt::format("{} kbit/s (-b) in {}", plan.bitrate, modeName), p,
                                     fmt::format("{} kbit/s in {}", fixed->value, plan.mono ? "mono" : "stereo"), *fixed);
    else if (const int32_t mode = plan.mono ? kMono : plan.mode; p.modes && mode >= 0 && !Contains(p.modes->value, mode))
        plan.refusal = Contradiction(fmt::format("the mode {}", modeName), p, ModesWords(p.modes->value), *p.modes);
    return plan;
}

std::vector<ProfileFinding> CheckAgainstProfile(const DeliveryProfile& p, const DeliveredFile& file) {
    std::vector<ProfileFinding> findings;
    const auto add = [&findings](std::string requirement, bool passed, const std::string& has, const std::string& source) {
        findings.push_back({std::move(requirement), passed, fmt::format("{} (source: {})", has, source)});
    };
    const bool mono = file.modes == std::set<int>{kMono};
    std::vector<std::string> modeWords;
    for (int mode : file.modes) modeWords.push_back(ModeWord(mode));
    const std::string modes = OneOf(modeWords).empty() ? "no frame" : OneOf(modeWords);
    if (p.rates)
        add("rate " + RatesWords(p.rates->value), Contains(p.rates->value, file.rate), fmt::format("the file: {} Hz", file.rate),
            Cite(*p.rates));
    if (p.monoBitrate || p.stereoBitrate) {
        const auto fixed = FixedBitrate(p, mono);
        const std::string has = file.bitrate ? fmt::format("the file: {} kbit/s in {}", *file.bitrate, modes)
                                             : std::string("the file: the bitrate changes between frames");
        add("bitrate " + BitratesWords(p), fixed && file.bitrate == fixed->value, has,
            Cite(p.stereoBitrate ? *p.stereoBitrate : *p.monoBitrate));
    }
    if (p.modes)
        add("mode " + ModesWords(p.modes->value),
            !file.modes.empty() && std::all_of(file.modes.begin(), file.modes.end(),
                                               [&p](int mode) { return Contains(p.modes->value, mode); }),
            "the file: " + modes, Cite(*p.modes));
    if (p.crc) {
        const bool passed = p.crc->value ? file.allFramesProtected : file.noFrameProtected;
        const char* has = file.allFramesProtected ? "every frame has a CRC"
                          : file.noFrameProtected ? "no frame has a CRC"
                                                  : "some frames have a CRC, others not";
        add("CRC " + OnOff(p.crc->value), passed, fmt::format("the file: {}", has), Cite(*p.crc));
    }
    if (p.padding)
        add("padding " + OnOff(p.padding->value), file.paddingUsed == p.padding->value,
            file.paddingUsed ? "the file: padded frames" : "the file: no padded frame", Cite(*p.padding));
    const auto measured = [](const std::optional<double>& value, const char* unit) {
        return value ? fmt::format("the file: {:.1f} {}", *value, unit) : std::string("not measured");
    };
    if (p.loudnessLufs)
        add("loudness " + LoudnessWords(p),
            file.loudnessLufs && std::abs(*file.loudnessLufs - p.loudnessLufs->value) <= p.loudnessToleranceLu + 1e-9,
            measured(file.loudnessLufs, "LUFS"), Cite(*p.loudnessLufs));
    if (p.truePeakDbtp)
        add(fmt::format("true peak at most {:g} dBTP", p.truePeakDbtp->value),
            file.truePeakDbtp && *file.truePeakDbtp <= p.truePeakDbtp->value + 1e-9, measured(file.truePeakDbtp, "dBTP"),
            Cite(*p.truePeakDbtp));
    if (p.container)
        add(std::string("container ") + ContainerWords(p.container->value), file.container == p.container->value,
            file.container ? std::string("the file: ") + ContainerWords(*file.container) : std::string("not known"),
            Cite(*p.container));
    if (p.edgeSilenceSeconds) {
        const double least = p.edgeSilenceSeconds->value;
        const bool passed = file.headSilenceSeconds && file.tailSilenceSeconds && *file.headSilenceSeconds >= least &&
                            *file.tailSilenceSeconds >= least;
        const std::string has = file.headSilenceSeconds && file.tailSilenceSeconds
                                    ? fmt::format("the file: {:.2f} s at the head, {:.2f} s at the tail",
                                                  *file.headSilenceSeconds, *file.tailSilenceSeconds)
                                    : std::string("not measured");
        add(fmt::format("silence of at least {:g} s at head and tail", least), passed, has, Cite(*p.edgeSilenceSeconds));
    }
    return findings;
}
} // namespace sovahost
