#pragma once

#include "OutputTags.h"
#include "TestSupport.h"

#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunevale::test
{

// The kinds of finished output the tag writer meets, each made by its usual encoder.
enum class EncodedKind { Wav, Mp3, Ogg, Wma, Flac, Opus, Aac, Alac, WavPack, Aiff };

inline const char* nameOf(EncodedKind kind)
{
    switch (kind) {
    case EncodedKind::Wav:
        return "Wav";
    case EncodedKind::Mp3:
        return "Mp3";
    case EncodedKind::Ogg:
        return "Ogg";
    case EncodedKind::Wma:
        return "Wma";
    case EncodedKind::Flac:
        return "Flac";
    case EncodedKind::Opus:
        return "Opus";
    case EncodedKind::Aac:
        return "Aac";
    case EncodedKind::Alac:
        return "Alac";
    case EncodedKind::WavPack:
        return "WavPack";
    case EncodedKind::Aiff:
        break;
    }
    return "Aiff";
}

// Names parameterised tests after their kind.
struct KindName {
    template <typename Info> std::string operator()(const Info& info) const { return nameOf(info.param); }
};

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
        return OutputTagFormat::Wma;
    case EncodedKind::Flac:
        return OutputTagFormat::Flac;
    case EncodedKind::Opus:
        return OutputTagFormat::OggOpus;
    case EncodedKind::Aac:
    case EncodedKind::Alac:
        return OutputTagFormat::Mp4;
    case EncodedKind::WavPack:
        return OutputTagFormat::WavPack;
    case EncodedKind::Aiff:
        break;
    }
    return OutputTagFormat::Aiff;
}

// Adds "KEY=value" tags as iTunes' freeform atoms, where taggers put what has no atom of its own
// (ffmpeg writes such tags in a form that iTunes and TagLib do not read).
inline void addFreeformAtoms(const std::filesystem::path& m4a, const std::vector<std::string>& tags)
{
    if (tags.empty())
        return;
    TagLib::MP4::File file(m4a.c_str(), false);
    ASSERT_TRUE(file.isValid());
    for (const std::string& tag : tags) {
        const auto equals = tag.find('=');
        file.tag()->setItem("----:com.apple.iTunes:" + tag.substr(0, equals),
                            TagLib::StringList(TagLib::String(tag.substr(equals + 1), TagLib::String::UTF8)));
    }
    ASSERT_TRUE(file.save());
}

// A one-second stereo tone in dir encoded as the kind, carrying no tags but those in extraTags
// ("KEY=value", written by the encoder itself).
inline std::filesystem::path encodedOutput(const std::filesystem::path& dir, EncodedKind kind,
                                           const std::string& name = "out",
                                           const std::vector<std::string>& extraTags = {})
{
    const auto wav = dir / (name + "-source.wav");
    // Repeatable: the same dither every run, so that what is made from the tone and what is read
    // of it come from the fixture cache after the first run.
    const ProgramResult sox = runProgram(
        {"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(), "synth", "1", "sine", "440"});
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
    case EncodedKind::Flac:
        return encode(".flac", {"-c:a", "flac"});
    case EncodedKind::Opus:
        return encode(".opus", {"-c:a", "libopus"});
    case EncodedKind::Aac:
    case EncodedKind::Alac:
        metadata.clear();
        out = encode(".m4a", {"-c:a", kind == EncodedKind::Aac ? "aac" : "alac"});
        addFreeformAtoms(out, extraTags);
        return out;
    case EncodedKind::WavPack:
        return encode(".wv", {"-c:a", "wavpack"});
    case EncodedKind::Aiff:
        return encode(".aiff", {"-c:a", "pcm_s16be", "-write_id3v2", "1"});
    }
    EXPECT_EQ(encoded.exitCode, 0) << encoded.output;
    return out;
}

} // namespace tunevale::test
