// CD tracks in the window: "Add CD..." lists the drives with an audio disc, and a cue sheet chosen
// in the audio dialog adds its tracks.
#include "CdSettings.h"
#include "DiscTracks.h"
#include "ForwardingEngine.h"
#include "MainWindowFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QSpinBox>

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

// The real engine, keeping the read offsets it was given.
class OffsetEngine : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    bool SetConfig(std::uint32_t option, std::uint32_t value) override
    {
        if (option == EngineConfig::CdReadOffset)
            offsets.push_back(static_cast<std::int32_t>(value));
        return ForwardingEngine::SetConfig(option, value);
    }
    std::vector<int> offsets;
};

class MainWindowCd : public MainWindowFixture
{
protected:
    void startWithDrives()
    {
        engine = makeEngine();
        offsetEngine = std::make_unique<OffsetEngine>(*engine);
        frmMain::Services withDrives = services(*offsetEngine);
        withDrives.discs = &drives;
        window = std::make_unique<frmMain>(withDrives);
        ASSERT_TRUE(window->Load());
        window->show();
        QCoreApplication::processEvents();
    }

    // Clicks "Add CD..." and answers the drive chooser with answer once it shows (within a bound).
    void addCd(const std::function<void(QDialog&)>& answer)
    {
        bool shown = false;
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, window.get(), [&, poll] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = true;
                poll->stop();
                answer(*dialog);
            }
        });
        poll->start(10);
        QTimer::singleShot(10000, poll, [poll] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
            poll->stop();
        });
        control<QAbstractButton>("cmdAddCd")->click();
        delete poll;
        EXPECT_TRUE(shown) << "the drive chooser did not show";
    }

    ScriptedDrives drives;
    std::unique_ptr<OffsetEngine> offsetEngine;
};

QSpinBox* readOffsetBox(QDialog& dialog)
{
    auto* box = dialog.findChild<QSpinBox*>(QStringLiteral("txtReadOffset"));
    EXPECT_NE(box, nullptr);
    return box;
}

} // namespace

TEST_F(MainWindowCd, AddCdAddsTheTracksOfTheDriveWithADiscAndSaysWhenThereIsNone)
{
    startWithDrives();
    control<QAbstractButton>("cmdAddCd")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "No CD in drive");
    EXPECT_EQ(window->jobs().rsJobs().size(), 0u);

    drives.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "03:07"}, {"/dev/sr0/Track02.cda", "04:00"}};
    addCd([](QDialog& dialog) { dialog.accept(); });
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u);
    EXPECT_EQ(window->jobs().rsJobs().at(1).FilePath, "/dev/sr0/Track02.cda");
    EXPECT_EQ(window->jobs().rsJobs().at(1).FileSize, "CD Track");
    EXPECT_EQ(window->jobs().rsJobs().at(1).Duration, "04:00");
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MainWindowCd, TheDriveChooserShowsTheStoredReadOffsetAndStoresAndAppliesACorrection)
{
    registry = std::make_unique<CRegister>(storeFile);
    ASSERT_TRUE(saveCdSettings(*registry, {667, true}));
    drives.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "03:07"}};
    drives.discs["/dev/sr1"] = {{"/dev/sr1/Track01.cda", "05:00"}};
    startWithDrives();
    // The stored offset went to the engine at start-up.
    EXPECT_EQ(offsetEngine->offsets, (std::vector<int>{667}));

    // Cancelled: nothing is added, stored or applied.
    addCd([](QDialog& dialog) {
        readOffsetBox(dialog)->setValue(30);
        dialog.reject();
    });
    EXPECT_EQ(window->jobs().rsJobs().size(), 0u);
    EXPECT_EQ(loadCdSettings(*registry).readOffset, 667);

    int shownOffset = 0;
    addCd([&](QDialog& dialog) {
        QSpinBox* box = readOffsetBox(dialog);
        shownOffset = box->value();
        EXPECT_EQ(box->minimum(), -DriveReadOffsetLimit);
        EXPECT_EQ(box->maximum(), DriveReadOffsetLimit);
        box->setValue(-1164);
        dialog.findChild<QComboBox*>(QStringLiteral("cmbDrive"))->setCurrentIndex(1);
        dialog.accept();
    });
    EXPECT_EQ(shownOffset, 667);
    ASSERT_EQ(window->jobs().rsJobs().size(), 1u);
    EXPECT_EQ(window->jobs().rsJobs().at(0).FilePath, "/dev/sr1/Track01.cda");
    EXPECT_EQ(loadCdSettings(*registry).readOffset, -1164);
    EXPECT_TRUE(loadCdSettings(*registry).onlineLookup);
    // Applied at once, for the tracks read from now on.
    EXPECT_EQ(offsetEngine->offsets, (std::vector<int>{667, -1164}));

    // The next start shows and applies what was stored.
    closeWindow();
    startWithDrives();
    addCd([&](QDialog& dialog) {
        shownOffset = readOffsetBox(dialog)->value();
        dialog.reject();
    });
    EXPECT_EQ(shownOffset, -1164);
    EXPECT_EQ(offsetEngine->offsets, (std::vector<int>{-1164}));
}

TEST_F(MainWindowCd, AStoredOffsetBeyondTheListedDrivesShowsUncutAndStaysWhenAccepted)
{
    registry = std::make_unique<CRegister>(storeFile);
    ASSERT_TRUE(saveCdSettings(*registry, {4500, true}));
    drives.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "03:07"}};
    startWithDrives();
    int shownOffset = 0;
    addCd([&](QDialog& dialog) {
        shownOffset = readOffsetBox(dialog)->value();
        dialog.accept();
    });
    EXPECT_EQ(shownOffset, 4500);
    EXPECT_EQ(loadCdSettings(*registry).readOffset, 4500);
    EXPECT_EQ(window->jobs().rsJobs().size(), 1u);
}

TEST_F(MainWindowCd, AnOffsetThatCannotBeStoredIsSaidAndStillApplied)
{
    // The store's folder is a file: nothing can be written under it.
    test::writeFile(dir / "config", "not a folder");
    drives.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "03:07"}};
    startWithDrives();
    const std::size_t before = messages.shown.size();
    addCd([](QDialog& dialog) {
        readOffsetBox(dialog)->setValue(48);
        dialog.accept();
    });
    ASSERT_EQ(messages.shown.size(), before + 1);
    EXPECT_EQ(messages.shown.back().text, "The read offset could not be stored; it holds until Tunevale ends.");
    EXPECT_EQ(offsetEngine->offsets.back(), 48);
    EXPECT_EQ(window->jobs().rsJobs().size(), 1u);
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
