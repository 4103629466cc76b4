#include "EngineTestSupport.h"
#include "HostileFiles.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr int Patience = 20; // seconds; a refusal takes milliseconds, a hang forever

struct Opened {
    EngineHandle handle = 0;
    int code = EngineCode::Ok;
};

class FileInputTest : public ::testing::Test
{
protected:
    // Opens path through the engine on another thread, waiting a bounded time.
    std::optional<Opened> open(const std::function<EngineHandle(Engine&)>& call)
    {
        Engine* engine = m_engine.get();
        return within<Opened>(Patience, [engine, call] {
            const EngineHandle handle = call(*engine);
            return Opened{handle, engine->ErrorGetCode()};
        });
    }

    // Every way the engine opens a file refuses it at once, with a code that has a text.
    void expectRefusedEverywhere(const std::filesystem::path& file)
    {
        SCOPED_TRACE(file.filename().string());
        const std::string path = file.string();
        const std::vector<std::pair<const char*, std::function<EngineHandle(Engine&)>>> roads{
            {"decode-only stream",
             [path](Engine& e) {
                 return e.StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
             }},
            {"playback stream", [path](Engine& e) { return e.StreamCreateFile(path, 0, 0, StreamFlag::Loop); }},
            {"module", [path](Engine& e) { return e.MusicLoad(path, 0, 0, StreamFlag::DecodeOnly, 0); }},
        };
        for (const auto& [road, call] : roads) {
            const std::optional<Opened> opened = open(call);
            if (!opened) {
                ADD_FAILURE() << road << " still opening after " << Patience << " s";
                continue;
            }
            EXPECT_EQ(opened->handle, 0u) << road;
            EXPECT_NE(opened->code, EngineCode::Ok) << road;
            EXPECT_NE(EngineErrorText(opened->code), "") << road;
        }
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

TEST_F(FileInputTest, PlaylistsManifestsAndSubtitlesOpenNothing)
{
    const auto playlists = writePlaylists(m_dir);
    ASSERT_FALSE(playlists.empty());
    for (const auto& playlist : playlists)
        expectRefusedEverywhere(playlist);
}

TEST_F(FileInputTest, TheRealFileAPlaylistNamesStillOpensDirectlyAndThroughALink)
{
    writePlaylists(m_dir);
    std::filesystem::create_symlink(m_dir / "real.wav", m_dir / "link.wav");
    for (const char* name : {"real.wav", "link.wav"}) {
        const EngineHandle handle = m_engine->StreamCreateFile((m_dir / name).string(), 0, 0, StreamFlag::DecodeOnly);
        ASSERT_NE(handle, 0u) << name << " code " << m_engine->ErrorGetCode();
        EXPECT_EQ(decodeAll(*m_engine, handle), ffmpegPcm(m_dir / "real.wav")) << name;
        EXPECT_TRUE(m_engine->StreamFree(handle));
    }
}

TEST_F(FileInputTest, DevicesAndFifosBehindLinksAreRefused)
{
    writePlaylists(m_dir);
    std::filesystem::create_symlink("/dev/urandom", m_dir / "random.mp3");
    for (const char* name : {"zero.wav", "pipe.wav", "vobsub.sub", "random.mp3"})
        expectRefusedEverywhere(m_dir / name);
}

TEST_F(FileInputTest, EveryOpenedStreamReadsThroughItsOwnDescriptorOnly)
{
    // A stream keeps reading the file it opened, even when the name is pointed elsewhere later.
    makeTone(m_dir / "a.wav", 1, 44100, 2);
    makeTone(m_dir / "b.wav", 1, 22050, 1);
    const EngineHandle handle = m_engine->StreamCreateFile((m_dir / "a.wav").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u);
    const std::string expected = ffmpegPcm(m_dir / "a.wav");
    std::filesystem::rename(m_dir / "b.wav", m_dir / "a.wav");
    EXPECT_EQ(decodeAll(*m_engine, handle), expected);
    EXPECT_TRUE(m_engine->StreamFree(handle));
}

} // namespace
