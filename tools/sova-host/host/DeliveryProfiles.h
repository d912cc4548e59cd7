// SPDX-License-Identifier: MIT
// Delivery profiles: what a named delivery (DAB, DVB, EBU R 128, PRSS ContentDepot) requires of
// an MP2 file, the document each value comes from, and the three uses of a profile: filling in
// encode's options, refusing options that contradict it, and checking a finished file against it.
// The table is static data: the references returned live as long as the program.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/EncodePlan.h"

namespace sovahost {
// A value a delivery requires, and where it is written. `confirmed` is false where the value could
// not be checked against that document's own text (it is then the common practice, said so).
template <class T>
struct Required {
    T value{};
    const char* source = "";
    bool confirmed = true;
};

enum class Container { RawMp2, BroadcastWav };

// What a delivery asks that sova-host does not set or check, in words, with its source.
struct DeliveryNote {
    const char* text;
    const char* source;
    bool confirmed = true;
};

struct DeliveryProfile {
    const char* name = "";  // as given to --profile
    const char* title = ""; // the delivery in words
    std::optional<Required<std::vector<int32_t>>> rates; // output rates taken, the first unless --rate says otherwise
    std::optional<Required<int32_t>> monoBitrate, stereoBitrate; // kbit/s, the only one taken for that channel count
    std::optional<Required<std::vector<int32_t>>> modes; // ChannelMode values taken: 0 stereo, 1 joint, 2 dual, 3 mono
    std::optional<Required<bool>> crc;                   // every frame protected (or none)
    std::optional<Required<bool>> padding;               // padding slots used (or never)
    std::optional<Required<double>> loudnessLufs;        // integrated programme loudness aimed at
    double loudnessToleranceLu = 0;                      // what a check accepts around it
    std::optional<Required<double>> truePeakDbtp;        // the ceiling
    std::optional<Required<Container>> container;
    std::optional<Required<double>> edgeSilenceSeconds; // silence at least this long at head and tail
    std::vector<DeliveryNote> notes;
};

const std::vector<DeliveryProfile>& DeliveryProfiles();
// nullptr for a name no profile has.
const DeliveryProfile* FindDeliveryProfile(std::string_view name);
// "dab, dvb, ebu, prss"
std::string DeliveryProfileNames();
// What `--profile list` prints: every profile, each value with its source.
std::string DeliveryProfileListing();

// A value the user gave, and how (e.g. "-b 192", "--settings BitsPerSecond:0:192"), for messages.
template <class T>
struct Asked {
    T value{};
    std::string option;
};

// What the user asked for, as far as a profile looks at it: options and the settings text together.
struct DeliveryRequest {
    std::optional<Asked<int32_t>> rate, bitrate, mode; // mode: a ChannelMode value, -1 automatic
    std::optional<Asked<bool>> crc, padding;
    std::optional<Asked<double>> loudnessLufs, truePeakDbtp;
    std::optional<Asked<Container>> container;
};

// One sentence for each value asked for that the profile does not take, naming the option, the
// profile, what it takes and the source. Empty when nothing contradicts it.
std::vector<std::string> ProfileContradictions(const DeliveryProfile& profile, const DeliveryRequest& request);

// The plan of an encode under a profile (none: PlanEncode). The profile's rate fills in a rate not
// asked for; once the channels are known, its bitrate and mode fill in those not asked for; a plan
// the profile does not take is refused, in the way ProfileContradictions words it.
EncodePlan PlanEncodeFor(const DeliveryProfile* profile, EncodeRequest request);

// What a finished file is, as far as a profile looks at it. Empty optionals were not measured.
struct DeliveredFile {
    int32_t rate = 0;
    std::optional<int32_t> bitrate; // empty when the bitrate changes between frames
    std::set<int> modes;            // of the frames: 0 stereo, 1 joint, 2 dual, 3 mono
    bool allFramesProtected = false, noFrameProtected = true;
    bool paddingUsed = false;
    std::optional<double> loudnessLufs, truePeakDbtp;
    std::optional<Container> container;
    std::optional<double> headSilenceSeconds, tailSilenceSeconds;
};

// One requirement of a profile, checked.
struct ProfileFinding {
    std::string requirement; // e.g. "rate 44100 Hz"
    bool passed = false;
    std::string detail; // what the file has, and the source of the requirement
};

// Every requirement the profile sets, in the order of the listing; one not measured in the file
// fails, saying so.
std::vector<ProfileFinding> CheckAgainstProfile(const DeliveryProfile& profile, const DeliveredFile& file);
} // namespace sovahost
