// A music library from the real window: a tree added with its sub-folders, outputs that keep the
// tree, and what each "When the output exists" choice does to outputs already there.
#include "JobGrid.h"
#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <filesystem>

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using test::MainWindowFixture;

class MainWindowLibrary : public MainWindowFixture
{
protected:
    fs::path music = dir / "Music";
    fs::path out = dir / "Converted Files";
    // Below music and below out, without extension: the tree a run with kept folders makes.
    std::vector<std::string> tracks{"loose", "Artist/First/01 Intro", "Artist/First/02 Song", "Artist/Second/01 Intro"};

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        for (const auto& track : tracks) {
            fs::create_directories((music / track).parent_path());
            test::makeTone(music / (track + ".flac"), 1, 44100, 2, {"-c:a", "flac"});
        }
        test::writeFile(music / "Artist" / "First" / "cover.jpg", "not audio");
    }

    void startAsWav()
    {
        ASSERT_TRUE(startWindow());
        control<QRadioButton>("optFileFormat_0")->click();
    }
    void addMusicFolder()
    {
        dialogs.folderAnswers.push_back(music.string());
        control<QAbstractButton>("cmdAddFolder")->click();
        waitForProbe();
    }
    void convertAll()
    {
        control<QAbstractButton>("cmdConvert")->click();
        ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));
    }
    void clearList()
    {
        control<QCheckBox>("chkSelectAll")->click();
        control<QAbstractButton>("cmdRemove")->click();
        ASSERT_TRUE(window->jobs().rsJobs().empty());
    }
    // Chooses a "When the output exists" entry with the keyboard, as a user would.
    void chooseIfExists(int index)
    {
        auto* box = control<QComboBox>("cmbIfExists");
        box->setFocus();
        while (box->currentIndex() > index)
            QTest::keyClick(box, Qt::Key_Up);
        while (box->currentIndex() < index)
            QTest::keyClick(box, Qt::Key_Down);
    }
    std::vector<std::string> statuses()
    {
        std::vector<std::string> result;
        for (std::size_t row = 0; row < window->jobs().rsJobs().size(); ++row)
            result.push_back(status(row));
        return result;
    }
    fs::path output(const std::string& track, const char* suffix = "") { return out / (track + suffix + ".wav"); }
};

TEST_F(MainWindowLibrary, OutputStepChoicesAreStoredAndLoaded)
{
    ASSERT_TRUE(startWindow());
    auto* include = control<QCheckBox>("chkIncludeSubFolders");
    auto* keep = control<QCheckBox>("chkKeepSubFolders");
    auto* pattern = control<QLineEdit>("txtNamePattern");
    auto* ifExists = control<QComboBox>("cmbIfExists");
    EXPECT_FALSE(include->isChecked());
    EXPECT_FALSE(keep->isChecked());
    EXPECT_EQ(pattern->text(), "");
    ASSERT_EQ(ifExists->count(), 4);
    EXPECT_EQ(ifExists->itemText(0), "Rename");
    EXPECT_EQ(ifExists->itemText(3), "Replace");
    EXPECT_EQ(ifExists->currentText(), "Rename");

    include->click();
    keep->click();
    QTest::keyClicks(pattern, "{artist}/{title}");
    chooseIfExists(2);
    EXPECT_TRUE(window->settings().settings().chkIncludeSubFolders.value);
    EXPECT_EQ(window->settings().settings().txtNamePattern.text, "{artist}/{title}");
    EXPECT_EQ(window->settings().settings().cmbIfExists.listIndex, 2);
    closeWindow();

    ASSERT_TRUE(startWindow());
    EXPECT_TRUE(control<QCheckBox>("chkIncludeSubFolders")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("chkKeepSubFolders")->isChecked());
    EXPECT_EQ(control<QLineEdit>("txtNamePattern")->text(), "{artist}/{title}");
    EXPECT_EQ(control<QComboBox>("cmbIfExists")->currentText(), "Update");
}

TEST_F(MainWindowLibrary, AddFolderTakesTheTreeOnlyWhenAskedAndARunKeepsItsFolders)
{
    startAsWav();
    addMusicFolder();
    ASSERT_EQ(window->jobs().rsJobs().size(), 1u) << "sub-folders only when ticked";
    clearList();

    control<QCheckBox>("chkIncludeSubFolders")->click();
    control<QCheckBox>("chkKeepSubFolders")->click();
    messages.shown.clear();
    addMusicFolder();
    ASSERT_EQ(window->jobs().rsJobs().size(), tracks.size());
    for (std::size_t row = 0; row < tracks.size(); ++row) {
        EXPECT_EQ(window->jobs().rsJobs().at(row).FilePath, (music / (tracks[row] + ".flac")).string());
        EXPECT_EQ(window->jobs().rsJobs().at(row).Root, music.string());
    }
    ASSERT_EQ(messages.shown.size(), 1u) << "the cover is refused";

    convertAll();
    EXPECT_EQ(statuses(), std::vector<std::string>(tracks.size(), "Complete"));
    for (const auto& track : tracks) {
        EXPECT_TRUE(fs::exists(output(track))) << track;
        EXPECT_EQ(test::ffprobe(output(track), "stream=codec_name"), "pcm_s16le") << track;
    }
    EXPECT_FALSE(fs::exists(out / "01 Intro.wav")) << "nothing flattened";
    EXPECT_TRUE(control<QCheckBox>("chkKeepSubFolders")->isEnabled()) << "unlocked again after the run";
}

TEST_F(MainWindowLibrary, EachWhenTheOutputExistsChoice)
{
    startAsWav();
    control<QCheckBox>("chkIncludeSubFolders")->click();
    control<QCheckBox>("chkKeepSubFolders")->click();
    addMusicFolder();
    convertAll();
    ASSERT_TRUE(fs::exists(output(tracks[1])));
    const auto madeAt = fs::last_write_time(output(tracks[1]));

    // Skip and Update leave the outputs as they are: the sources did not change.
    for (int choice : {1, 2}) {
        clearList();
        chooseIfExists(choice);
        addMusicFolder();
        convertAll();
        EXPECT_EQ(statuses(), std::vector<std::string>(tracks.size(), "Up To Date")) << choice;
        EXPECT_EQ(fs::last_write_time(output(tracks[1])), madeAt) << choice;
        EXPECT_FALSE(fs::exists(output(tracks[1], "_Converted"))) << choice;
    }

    // Replace writes a complete new output over one that was spoilt meanwhile.
    clearList();
    test::writeFile(output(tracks[1]), "spoilt");
    chooseIfExists(3);
    addMusicFolder();
    convertAll();
    EXPECT_EQ(statuses(), std::vector<std::string>(tracks.size(), "Complete"));
    EXPECT_EQ(test::ffprobe(output(tracks[1]), "stream=codec_name"), "pcm_s16le");
    EXPECT_FALSE(fs::exists(output(tracks[1], "_Converted")));

    // Rename, the first choice, keeps what is there and writes beside it.
    clearList();
    chooseIfExists(0);
    addMusicFolder();
    convertAll();
    EXPECT_EQ(statuses(), std::vector<std::string>(tracks.size(), "Complete"));
    for (const auto& track : tracks)
        EXPECT_TRUE(fs::exists(output(track, "_Converted"))) << track;
}

// Counts the paint events a widget gets while a condition holds.
class PaintCounter : public QObject
{
public:
    PaintCounter(QWidget* widget, std::function<bool()> counting) : m_counting(std::move(counting))
    {
        widget->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_counting())
            ++paints;
        return false;
    }

private:
    std::function<bool()> m_counting;
};

TEST_F(MainWindowLibrary, TwoThousandFilesAreListedAtOnceAndProbedWhileTheWindowPaints)
{
    const auto tone = test::makeTone(dir / "tone.flac", 1, 8000, 1, {"-c:a", "flac"});
    for (int folder = 0; folder < 200; ++folder) {
        const auto below = music / "many" / std::to_string(1000 + folder);
        fs::create_directories(below);
        for (int file = 0; file < 10; ++file)
            fs::create_hard_link(tone, below / (std::to_string(file) + ".flac"));
    }
    startAsWav();
    control<QCheckBox>("chkIncludeSubFolders")->click();
    PaintCounter counter(window->Grid().viewport(), [this] { return window->probing(); });
    // What the user does meanwhile (scrolling, a tick) asks the grid to paint again.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, window.get(), [this] { window->Grid().viewport()->update(); });
    user.start(1);
    dialogs.folderAnswers.push_back(music.string());
    control<QAbstractButton>("cmdAddFolder")->click();

    // The first rows are in when the click returns; the rest follow in turns of the event loop.
    const auto& jobs = window->jobs().rsJobs();
    ASSERT_GT(jobs.size(), 0u);
    EXPECT_EQ(window->Grid().model()->rowCount(), static_cast<int>(jobs.size()));
    EXPECT_TRUE(window->probing());
    for (const auto& job : jobs.jobs())
        ASSERT_FALSE(job.Probed) << "durations come from beside the window: " << job.FilePath;

    // A run started now passes over the files not yet probed, and leaves them waiting.
    control<QAbstractButton>("cmdConvert")->click();
    ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(status(0), "Waiting Conversion");

    waitForProbe();
    ASSERT_EQ(jobs.size(), tracks.size() + 2000);
    EXPECT_EQ(jobs.at(0).FilePath, (music / "loose.flac").string());
    EXPECT_EQ(jobs.at(tracks.size()).FilePath, (music / "many" / "1000" / "0.flac").string());
    EXPECT_EQ(jobs.jobs().back().FilePath, (music / "many" / "1199" / "9.flac").string());
    EXPECT_GE(counter.paints, 2) << "the grid was painted while the files were added and probed";
    for (const auto& job : jobs.jobs()) {
        ASSERT_TRUE(job.Probed) << job.FilePath;
        ASSERT_EQ(job.Duration, "00:01") << job.FilePath;
        ASSERT_EQ(statusText(job), "Waiting Conversion") << job.FilePath;
    }
}

} // namespace
} // namespace tunevale
