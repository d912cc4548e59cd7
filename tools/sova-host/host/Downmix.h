// SPDX-License-Identifier: MIT
// The matrix from a source's channels to the one or two channels of an MP2 file. Two outputs
// follow ITU-R BS.775: front left and right at 0 dB, centre and surrounds at -3 dB, the LFE
// dropped. One output is the mean of those two. A mono source is copied to both outputs of a
// two-channel file. The guard against clipping: the caller measures the mix's peak over the whole
// source, and the matrix is lowered just enough to keep that peak below full scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sovahost {
class Downmix {
public:
    // roles: libsndfile's SF_CHANNEL_MAP_* value per source channel, or empty when the file names
    // none (the WAVE order is assumed then: L, R, C, LFE, Ls, Rs, ...).
    Downmix(int32_t inputs, int32_t outputs, const std::vector<int>& roles);

    // True when the mix can exceed full scale (three or more inputs); then Guard is wanted.
    bool CanClip() const { return canClip_; }
    // Lowers the matrix so that a mix peaking at `peak` (full scale 1.0) stays below full scale.
    void Guard(float peak);
    // The factor Guard put on the matrix (1 when it lowered nothing or was not called).
    float GuardGain() const { return gain_; }
    // What the matrix does, in words, for the line that announces the conversion.
    std::string Words() const;
    // weight of source channel `in` in output `out`
    float Weight(int32_t out, int32_t in) const { return weights_[static_cast<size_t>(out * inputs_ + in)]; }
    // Mixes `frames` interleaved source frames into interleaved output frames.
    void Apply(const float* in, int64_t frames, float* out) const;
private:
    int32_t inputs_, outputs_;
    std::vector<float> weights_; // outputs_ rows of inputs_ weights
    std::string words_;
    bool canClip_ = false;
    float gain_ = 1.0f, peak_ = 0.0f; // set by Guard
};
} // namespace sovahost
