#pragma once

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tunevale::test
{

// Sources made by ffmpeg, noisy enough that a changed sample shows: name, its raw PCM format
// for ffmpeg ("s16le", "s24le", ...), rate and channel count.
struct SourceFile {
    std::string name;
    std::string pcmFormat;
    std::uint32_t rate;
    std::uint32_t chans;
};

inline const std::vector<SourceFile>& sourceFiles()
{
    static const std::vector<SourceFile> files{
        {"cd.flac", "s16le", 44100, 2},   {"hires.flac", "s24le", 96000, 2}, {"six.wav", "s16le", 48000, 6},
        {"mono.mp3", "s16le", 22050, 1},  {"float.wav", "f32le", 44100, 2},  {"int32.wav", "s32le", 44100, 2},
        {"eight.wav", "s16le", 11025, 1},
    };
    return files;
}

inline SourceFile sourceFile(const std::string& name)
{
    for (const auto& file : sourceFiles())
        if (file.name == name)
            return file;
    ADD_FAILURE() << "no source " << name;
    return {};
}

// Makes the source of that name in dir (once) and returns its path.
inline std::filesystem::path makeSource(const TempDir& dir, const std::string& name)
{
    const auto path = dir / name;
    if (std::filesystem::exists(path))
        return path;
    // A tone on the left, noise on the right: odd lengths, so that no codec frame size divides them.
    const auto toneAndNoise = [](int rate, double seconds) {
        const std::string r = std::to_string(rate), d = std::to_string(seconds);
        return std::vector<std::string>{"-f",
                                        "lavfi",
                                        "-i",
                                        "sine=frequency=440:sample_rate=" + r + ":duration=" + d,
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "anoisesrc=color=pink:amplitude=0.3:sample_rate=" + r + ":duration=" + d,
                                        "-filter_complex",
                                        "amerge=inputs=2"};
    };
    static const std::map<std::string, std::vector<std::string>> encodings{
        {"cd.flac", {"-c:a", "flac", "-sample_fmt", "s16"}},
        {"hires.flac", {"-c:a", "flac", "-sample_fmt", "s32", "-bits_per_raw_sample", "24"}},
        {"float.wav", {"-c:a", "pcm_f32le"}},
        {"int32.wav", {"-c:a", "pcm_s32le"}},
    };
    if (encodings.count(name)) {
        auto args = toneAndNoise(sourceFile(name).rate, name == "hires.flac" ? 2.0001 : 3.3217);
        args.insert(args.end(), encodings.at(name).begin(), encodings.at(name).end());
        args.push_back(path.string());
        ffmpeg(args);
    } else if (name == "six.wav") {
        ffmpeg({"-f", "lavfi", "-i",
                "aevalsrc=0.4*sin(440*2*PI*t)+0.1*random(0)|0.4*sin(550*2*PI*t)|0.4*sin(660*2*PI*t)+0.1*random(1)|"
                "0.4*sin(60*2*PI*t)|0.3*random(2)|0.4*sin(880*2*PI*t):s=48000:d=2.0003:c=5.1",
                "-c:a", "pcm_s16le", path.string()});
    } else if (name == "mono.mp3") {
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=2.5", "-c:a", "libmp3lame", "-b:a",
                "64k", path.string()});
    } else if (name == "eight.wav") {
        makeTone(path, 1.7, 11025, 1, {"-c:a", "pcm_u8"});
    } else {
        ADD_FAILURE() << "no recipe for " << name;
    }
    return path;
}

struct EncodeRun {
    bool opened = false;
    bool closed = false;
    int code = EngineCode::Ok; // of the failing call
    ChannelInfo info;          // of the stream encoded
    std::string pcm;           // everything fed to the encoder
};

// Decodes source (at its own resolution when asked) and encodes it through the engine.
inline EncodeRun encodeFile(Engine& engine, const std::filesystem::path& source, const EncodeSetup& setup,
                            const EncodeTarget& target, bool sourceResolution,
                            const std::function<void()>& beforeClose = {})
{
    EncodeRun run;
    const std::uint32_t flags = StreamFlag::DecodeOnly | (sourceResolution ? StreamFlag::SourceResolution : 0);
    const EngineHandle stream = engine.StreamCreateFile(source.string(), 0, 0, flags);
    EXPECT_NE(stream, 0u) << source << " code " << engine.ErrorGetCode();
    if (!stream)
        return run;
    EXPECT_TRUE(engine.ChannelGetInfo(stream, run.info));
    const EngineHandle encoder = engine.EncodeFileOpen(setup, run.info, target);
    run.opened = encoder != 0;
    if (!encoder) {
        run.code = engine.ErrorGetCode();
        engine.StreamFree(stream);
        return run;
    }
    run.pcm = decodeAll(engine, stream, 20000);
    engine.StreamFree(stream);
    // Odd pieces, so that sample frames are split over writes.
    for (std::size_t done = 0; done < run.pcm.size(); done += 30001)
        EXPECT_TRUE(
            engine.EncodeFileWrite(encoder, run.pcm.data() + done,
                                   static_cast<std::uint32_t>(std::min<std::size_t>(30001, run.pcm.size() - done))));
    if (beforeClose)
        beforeClose();
    run.closed = engine.EncodeFileClose(encoder);
    if (!run.closed)
        run.code = engine.ErrorGetCode();
    return run;
}

inline EncodeSetup setupFor(OutputCodec codec)
{
    EncodeSetup setup;
    setup.codec = codec;
    setup.container = defaultContainer(codec);
    setup.verify = isLosslessCodec(codec);
    return setup;
}

} // namespace tunevale::test
