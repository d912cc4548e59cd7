// Real MPEG audio files for the reader tests, made at test time by the reference encoders
// (twolame, ffmpeg) in a folder of this process's own, and their reference decoding by the
// mpg123 program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace readertest {
enum class Sample {
    Stereo,          // MPEG-1 Layer II, 192 kbit/s, stereo
    JointCrc,        // 128 kbit/s joint stereo with CRC
    DualEmphasis,    // dual channel, 50/15 us emphasis
    Mono,            // 96 kbit/s mono
    Lsf22050,        // MPEG-2 LSF at 22050 Hz
    Short,           // fewer frames than the reader primes
    Mp3,             // Layer III from ffmpeg's libmp3lame
    Truncated,       // the stereo file cut in the middle of a frame
    JointCopyright,  // 128 kbit/s joint stereo, copyright set, original clear
};

std::string SampleName(Sample sample);
inline const Sample kAllDecodable[] = {Sample::Stereo,  Sample::JointCrc, Sample::DualEmphasis,
                                       Sample::Mono,    Sample::Lsf22050, Sample::Short,
                                       Sample::Mp3,     Sample::Truncated};

// A fresh folder for this process, removed with everything in it at exit.
const std::filesystem::path& WorkFolder();
// Makes the sample on first use; later calls return the same file.
std::filesystem::path MakeSample(Sample sample);
// Writes a WAV made by ffmpeg: rate, channels (1 or 2), seconds.
std::filesystem::path MakeWav(const std::string& name, int rate, int channels, double seconds);
// What `mpg123 -e f32 -s` writes for the file: interleaved 32-bit floats.
std::vector<float> ReferenceSamples(const std::filesystem::path& file);

// Runs a shell command; throws std::runtime_error with the command when it fails.
void Run(const std::string& command);
std::string Quote(const std::filesystem::path& path);
std::vector<char> ReadAll(const std::filesystem::path& file);
void WriteAll(const std::filesystem::path& file, const std::vector<char>& bytes);
} // namespace readertest
