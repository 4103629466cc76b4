// CD tracks in the window: "Add CD..." lists the drives with an audio disc, and a cue sheet chosen
// in the audio dialog adds its tracks.
#include "DiscTracks.h"
#include "MainWindowFixture.h"

#include <QAbstractButton>

#include <map>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

// Drives as the test sets them up: no hardware needed.
class ScriptedDrives : public DiscTracks
{
public:
    bool isDisc(const std::string& path) override { return discs.count(path) != 0; }
    std::vector<Track> tracks(const std::string& disc, std::string&) override { return discs[disc]; }
    std::vector<std::string> audioDrives() override
    {
        std::vector<std::string> drives;
        for (const auto& [drive, tracks] : discs)
            drives.push_back(drive);
        return drives;
    }

    std::map<std::string, std::vector<Track>> discs;
};

class MainWindowCd : public MainWindowFixture
{
protected:
    void startWithDrives()
    {
        engine = makeEngine();
        frmMain::Services withDrives = services(*engine);
        withDrives.discs = &drives;
        window = std::make_unique<frmMain>(withDrives);
        ASSERT_TRUE(window->Load());
        window->show();
        QCoreApplication::processEvents();
    }

    ScriptedDrives drives;
};

} // namespace

TEST_F(MainWindowCd, AddCdAddsTheTracksOfTheDriveWithADiscAndSaysWhenThereIsNone)
{
    startWithDrives();
    control<QAbstractButton>("cmdAddCd")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "No CD in drive");
    EXPECT_EQ(window->jobs().rsJobs().size(), 0u);

    drives.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "03:07"}, {"/dev/sr0/Track02.cda", "04:00"}};
    control<QAbstractButton>("cmdAddCd")->click();
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u);
    EXPECT_EQ(window->jobs().rsJobs().at(1).FilePath, "/dev/sr0/Track02.cda");
    EXPECT_EQ(window->jobs().rsJobs().at(1).FileSize, "CD Track");
    EXPECT_EQ(window->jobs().rsJobs().at(1).Duration, "04:00");
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MainWindowCd, ACueSheetChosenInTheAudioDialogAddsItsTracks)
{
    std::filesystem::create_directory(dir / "in");
    test::makeTone(dir / "in" / "Album.flac", 6);
    test::writeFile(dir / "in" / "Album.cue", "FILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    ASSERT_TRUE(startWindow());
    addThroughDialog((dir / "in" / "Album.cue").string());
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u);
    EXPECT_EQ(window->jobs().rsJobs().at(0).FilePath, (dir / "in" / "Album.cue" / "Track01.cda").string());
    EXPECT_EQ(window->jobs().rsJobs().at(1).Duration, "00:04");
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace tunevale
