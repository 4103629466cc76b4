#include "JobList.h"
#include "JobListFakes.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

Job jobFor(const std::string& path)
{
    Job job;
    job.FilePath = path;
    job.Duration = "00:01";
    job.FileSize = "1 KB";
    return job;
}

TEST(JobTable, KeepsJobsInOrderAndRefusesAPathItHolds)
{
    JobTable table;
    EXPECT_FALSE(table.FileInList("/a.mp3"));
    EXPECT_TRUE(table.append(jobFor("/music/a.mp3")));
    EXPECT_TRUE(table.append(jobFor("/music/b.mp3")));
    EXPECT_FALSE(table.append(jobFor("/music/a.mp3")));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(0).FilePath, "/music/a.mp3");
    EXPECT_EQ(table.at(1).FilePath, "/music/b.mp3");
}

TEST(JobTable, ComparesPathsExactlyAndCaseSensitively)
{
    JobTable table;
    table.append(jobFor("/Music/a.mp3"));
    EXPECT_TRUE(table.FileInList("/Music/a.mp3"));
    EXPECT_FALSE(table.FileInList("/music/A.MP3"));
    EXPECT_FALSE(table.FileInList("/Music/a.mp3 "));
    EXPECT_FALSE(table.FileInList("/Music/a.mp"));
    EXPECT_TRUE(table.append(jobFor("/music/A.MP3")));
    EXPECT_EQ(table.size(), 2u);
}

TEST(JobList, FindCurrentRowFindsTheConvertingJobOrNothing)
{
    JobList list;
    for (const char* path : {"/a.wav", "/b.wav", "/c.wav"})
        list.rsJobs().append(jobFor(path));
    list.sCurrentFile = "/c.wav";
    list.FindCurrentRow();
    EXPECT_EQ(list.CurrentRow, 2u);
    list.sCurrentFile = "/C.wav";
    list.FindCurrentRow();
    EXPECT_FALSE(list.CurrentRow);

    list.sCurrentFile = "/b.wav";
    list.FindCurrentRow();
    list.replaceTable(JobList::NewJobTable());
    EXPECT_FALSE(list.CurrentRow) << "a row of the old table must not be written after removal";
    list.FindCurrentRow();
    EXPECT_FALSE(list.CurrentRow);
}

TEST(JobList, TellsTheViewOfAppendsChangesAndReplacements)
{
    JobList list;
    test::MirrorView view([&]() -> const JobTable& { return list.rsJobs(); });
    list.setObserver(&view);

    list.rsJobs().append(jobFor("/a.flac"));
    list.rsJobs().append(jobFor("/b.flac"));
    list.rsJobs().append(jobFor("/a.flac"));
    EXPECT_EQ(view.appends, 2);
    list.rsJobs().setCheckBox(1, -1);
    list.rsJobs().setState(0, JobState::Converting, 37.5f);
    list.rsJobs().setState(0, JobState::Converting, 37.5f); // no change, no notice
    EXPECT_EQ(view.changes, 2);
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1].CheckBox, -1);
    EXPECT_TRUE(view.rows[1].ticked());
    EXPECT_EQ(statusText(view.rows[0]), "37.5");

    auto fresh = JobList::NewJobTable();
    fresh->append(jobFor("/c.flac"));
    list.replaceTable(std::move(fresh));
    EXPECT_EQ(view.replacements, 1);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, "/c.flac");

    // The view follows the new table, not the replaced one.
    list.rsJobs().append(jobFor("/d.flac"));
    EXPECT_EQ(view.rows.size(), 2u);
}

TEST(JobTable, SettingATickToItsValueTellsNobody)
{
    JobList list;
    test::MirrorView view([&]() -> const JobTable& { return list.rsJobs(); });
    list.setObserver(&view);
    list.rsJobs().append(jobFor("/a.flac"));
    list.rsJobs().setCheckBox(0, 0);
    EXPECT_EQ(view.changes, 0);
}

TEST(JobTable, HoldsPathsFarLongerThanTwoHundredFiftyCharacters)
{
    JobTable table;
    const std::string path = "/" + std::string(3000, 'x') + "/song.mp3";
    ASSERT_TRUE(table.append(jobFor(path)));
    EXPECT_EQ(table.at(0).FilePath, path);
    EXPECT_TRUE(table.FileInList(path));
}

} // namespace
} // namespace tunevale
