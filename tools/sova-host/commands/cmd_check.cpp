// SPDX-License-Identifier: MIT
// sova-host check FILE...: is each file fit to deliver? Walks every frame (CRCs, junk, cuts,
// format and header changes, tags, padding), decodes the audio through the module (decoder
// failures, silence at head and tail; with --loudness, loudness and true peak against a target)
// and says so in words or, with --json, one JSON object a line. Exit status 1 when any file fails.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "RunCommand.h"
#include "host/DeliveryCheck.h"
#include "host/DeliveryReportOutput.h"
#include "host/ProfileCheck.h"
#include "ProfileOptions.h"

namespace sovahost {
namespace {
struct CheckArguments {
    std::vector<std::string> files;
    bool json = false;
    std::optional<double> loudness; // target, LUFS
    double truePeak = -1;           // ceiling, dBTP
    double tolerance = 1;           // LU either side of the target
    std::string profile;            // --profile: a delivery profile's name
    bool truePeakGiven = false, toleranceGiven = false; // typed, rather than left at their defaults
};

int Check(const HostOptions& options, const CheckArguments& arguments) {
    StartedModule module(options);
    module.RequireStarted();
    DeliveryOptions check;
    if (arguments.loudness) check.loudness = LoudnessRequirement{*arguments.loudness, arguments.tolerance, arguments.truePeak};
    const DeliveryProfile* const profile = arguments.profile.empty() ? nullptr : FindDeliveryProfile(arguments.profile);
    if (profile) PrepareProfileCheck(*profile, check);
    // A profile with a loudness judges it: --loudness may only repeat its values, and the file's
    // loudness is shown against the profile's target.
    if (profile && profile->loudnessLufs) {
        const LoudnessRequirement ours{profile->loudnessLufs->value, profile->loudnessToleranceLu,
                                       profile->truePeakDbtp ? std::optional(profile->truePeakDbtp->value) : std::nullopt, false};
        const bool contradicts =
            check.loudness && (check.loudness->targetLufs != ours.targetLufs ||
                               (arguments.toleranceGiven && check.loudness->toleranceLu != ours.toleranceLu) ||
                               (arguments.truePeakGiven && check.loudness->truePeakCeilingDbtp != ours.truePeakCeilingDbtp));
        if (contradicts)
            throw CommandFailure(fmt::format("--loudness, --tolerance or --true-peak contradicts --profile {}, which checks "
                                             "{:g} LUFS ± {:g} LU{}; leave them out to check against the profile, or "
                                             "leave out the profile",
                                             profile->name, ours.targetLufs, ours.toleranceLu,
                                             ours.truePeakCeilingDbtp ? fmt::format(", true peak at most {:g} dBTP", *ours.truePeakCeilingDbtp) : ""),
                                 kUsageError);
        check.loudness = ours;
    }
    bool allFit = true;
    for (const std::string& file : arguments.files) {
        DeliveryReport report = CheckDelivery(module, file, check);
        if (profile) AddProfileFailures(*profile, report);
        if (arguments.json) fmt::print("{}\n", DeliveryReportJson(report));
        else if (!options.quiet || !report.Fit()) fmt::print("{}", DeliveryReportInWords(report));
        allFit = allFit && report.Fit();
        std::fflush(stdout);
    }
    return allFit ? 0 : 1;
}
} // namespace

void RegisterCheckCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand(
        "check", "Say whether MPEG audio Layer II files are fit to deliver: every frame's CRC, junk, cuts, changes of "
                 "format or header, tags, padding, and the decoded audio's silence at head and tail");
    auto arguments = std::make_shared<CheckArguments>();
    command->add_option("files", arguments->files, "Files to check")->required();
    command->add_flag("--json", arguments->json, "One JSON object a line per file, for scripts");
    auto* loudness = command->add_option("--loudness", arguments->loudness,
                                         "Measure the programme loudness (EBU R 128) and fail a file more than "
                                         "--tolerance from this target, in LUFS (e.g. -23)");
    auto* truePeak = command->add_option("--true-peak", arguments->truePeak, "With --loudness: fail a true peak above this, in dBTP")
                         ->capture_default_str()
                         ->needs(loudness);
    auto* tolerance = command->add_option("--tolerance", arguments->tolerance, "With --loudness: LU allowed either side of the target")
                          ->capture_default_str()
                          ->check(CLI::Range(0.0, 20.0))
                          ->needs(loudness);
    AddProfileOption(*command, arguments->profile);
    command->footer("Exit status: 0 when every file is fit, 1 when any fails. Silence is audio below -60 dBFS on "
                    "every channel.");
    RunsAs(*command, options, [&options, arguments, truePeak, tolerance] {
        arguments->truePeakGiven = truePeak->count() > 0;
        arguments->toleranceGiven = tolerance->count() > 0;
        return Check(options, *arguments);
    });
}
} // namespace sovahost
