#include "JobList.h"
#include "JobListFakes.h"
#include "JobSelection.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

struct Window {
    JobList jobs;
    test::MirrorView view{[this]() -> const JobTable& { return jobs.rsJobs(); }};
    test::TickBox chkSelectAll;
    test::PlayingPreview preview;
    JobSelection selection{jobs, chkSelectAll, preview};

    explicit Window(std::initializer_list<const char*> paths)
    {
        jobs.setObserver(&view);
        for (const char* path : paths) {
            Job job;
            job.FilePath = path;
            job.Duration = "00:10";
            job.FileSize = "1 MB";
            jobs.rsJobs().append(std::move(job));
        }
    }
    std::vector<std::string> paths() const
    {
        std::vector<std::string> result;
        for (const auto& job : jobs.rsJobs().jobs())
            result.push_back(job.FilePath);
        return result;
    }
    void tick(std::size_t row, int value = 1) { jobs.rsJobs().setCheckBox(row, value); }
};

using Paths = std::vector<std::string>;

TEST(SelectAll, TicksAndUnticksEveryJob)
{
    Window window{"/a.mp3", "/b.mp3", "/c.mp3"};
    window.tick(1, -1);
    window.chkSelectAll.setValue(1);
    window.selection.selectAllPass();
    for (const auto& job : window.jobs.rsJobs().jobs())
        EXPECT_EQ(job.CheckBox, 1);
    for (const auto& row : window.view.rows)
        EXPECT_EQ(row.CheckBox, 1);
    window.chkSelectAll.setValue(0);
    window.selection.selectAllPass();
    for (const auto& job : window.jobs.rsJobs().jobs())
        EXPECT_EQ(job.CheckBox, 0);
}

TEST(SelectAll, OnAnEmptyListDoesNothing)
{
    Window window{};
    window.chkSelectAll.setValue(1);
    window.selection.selectAllPass();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    EXPECT_EQ(window.view.changes, 0);
}

TEST(Remove, WithNothingTickedKeepsEveryJobInOrder)
{
    Window window{"/c.mp3", "/a.mp3", "/b.mp3"};
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.paths(), (Paths{"/c.mp3", "/a.mp3", "/b.mp3"}));
    EXPECT_EQ(window.view.replacements, 1);
    EXPECT_EQ(window.chkSelectAll.value(), 0);
}

TEST(Remove, WithEveryJobTickedEmptiesTheList)
{
    Window window{"/a.mp3", "/b.mp3"};
    window.chkSelectAll.setValue(1);
    window.selection.selectAllPass();
    window.selection.removeTickedJobs();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    EXPECT_TRUE(window.view.rows.empty());
    EXPECT_EQ(window.chkSelectAll.value(), 0);
}

TEST(Remove, TakesJobsTickedWithMinusOneOrAnyOtherValue)
{
    Window window{"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3"};
    window.tick(0, -1);
    window.tick(2, 1);
    window.tick(3, INT32_MIN);
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.paths(), Paths{"/b.mp3"});
}

TEST(Remove, KeepsTheFieldsOfKeptJobs)
{
    Window window{"/a.mp3", "/b.mp3", "/c.mp3"};
    window.jobs.rsJobs().setState(0, JobState::Complete);
    window.tick(1);
    window.selection.removeTickedJobs();
    ASSERT_EQ(window.paths(), (Paths{"/a.mp3", "/c.mp3"}));
    const Job& kept = window.jobs.rsJobs().at(0);
    EXPECT_EQ(kept.State, JobState::Complete);
    EXPECT_EQ(kept.Duration, "00:10");
    EXPECT_EQ(kept.FileSize, "1 MB");
    EXPECT_EQ(kept.ID, 0);
    EXPECT_TRUE(window.jobs.FileInList("/c.mp3"));
    EXPECT_FALSE(window.jobs.FileInList("/b.mp3")) << "a removed file can be added again";
}

TEST(Remove, StopsThePreviewOnlyWhenItsFileGoes)
{
    Window window{"/a.mp3", "/b.mp3", "/c.mp3"};
    window.preview.playing = "/b.mp3";
    window.tick(0);
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.preview.stops, 0);
    window.tick(0); // "/b.mp3" is now the first job
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.preview.stops, 1);
    EXPECT_EQ(window.paths(), Paths{"/c.mp3"});
}

TEST(Remove, AfterSelectAllAndOneHandUntickKeepsOnlyThatJob)
{
    Window window{"/a.mp3", "/b.mp3", "/c.mp3"};
    window.chkSelectAll.setValue(1);
    window.selection.selectAllPass();
    window.tick(1, 0);
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.paths(), Paths{"/b.mp3"});
    EXPECT_EQ(window.chkSelectAll.value(), 0);
    EXPECT_EQ(window.jobs.rsJobs().at(0).CheckBox, 0);
}

TEST(Remove, OnAnEmptyListChangesNothing)
{
    Window window{};
    window.chkSelectAll.setValue(1);
    window.selection.removeTickedJobs();
    EXPECT_EQ(window.view.replacements, 0);
    EXPECT_EQ(window.chkSelectAll.value(), 1);
}

} // namespace
} // namespace tunevale
