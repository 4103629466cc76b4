#pragma once

#include "OutputTags.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunevale::test
{

// The kinds of finished output the tag writer meets, each made by its usual encoder.
enum class EncodedKind { Wav, Mp3, Ogg, Wma };

inline OutputTagFormat tagFormatOf(EncodedKind kind)
{
    switch (kind) {
    case EncodedKind::Wav:
        return OutputTagFormat::Wav;
    case EncodedKind::Mp3:
        return OutputTagFormat::Mp3;
    case EncodedKind::Ogg:
        return OutputTagFormat::Ogg;
    case EncodedKind::Wma:
        break;
    }
    return OutputTagFormat::Wma;
}

// A one-second stereo tone in dir encoded as the kind, carrying no tags but those in extraTags
// ("KEY=value", written by the encoder itself).
inline std::filesystem::path encodedOutput(const std::filesystem::path& dir, EncodedKind kind,
                                           const std::string& name = "out",
                                           const std::vector<std::string>& extraTags = {})
{
    const auto wav = dir / (name + "-source.wav");
    const ProgramResult sox =
        runProgram({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(), "synth", "1", "sine", "440"});
    EXPECT_EQ(sox.exitCode, 0) << sox.output;
    std::vector<std::string> metadata;
    for (const std::string& tag : extraTags)
        metadata.insert(metadata.end(), {"-metadata", tag});
    const auto encode = [&](const std::string& extension, std::vector<std::string> codec) {
        const auto out = dir / (name + extension);
        std::vector<std::string> arguments{"-i", wav.string(), "-map_metadata", "-1", "-fflags", "+bitexact"};
        arguments.insert(arguments.end(), metadata.begin(), metadata.end());
        arguments.insert(arguments.end(), codec.begin(), codec.end());
        arguments.push_back(out.string());
        ffmpeg(arguments);
        return out;
    };
    ProgramResult encoded{0, ""};
    std::filesystem::path out;
    switch (kind) {
    case EncodedKind::Wav:
        EXPECT_TRUE(extraTags.empty());
        return wav;
    case EncodedKind::Mp3:
        if (!extraTags.empty())
            return encode(".mp3", {"-c:a", "libmp3lame", "-id3v2_version", "3"});
        out = dir / (name + ".mp3");
        encoded = runProgram({"lame", "--silent", wav.string(), out.string()});
        break;
    case EncodedKind::Ogg:
        out = dir / (name + ".ogg");
        {
            std::vector<std::string> oggenc{"oggenc", "-Q", wav.string(), "-o", out.string()};
            for (const std::string& tag : extraTags)
                oggenc.insert(oggenc.end(), {"-c", tag});
            encoded = runProgram(oggenc);
        }
        break;
    case EncodedKind::Wma:
        return encode(".wma", {"-c:a", "wmav2"});
    }
    EXPECT_EQ(encoded.exitCode, 0) << encoded.output;
    return out;
}

} // namespace tunevale::test
