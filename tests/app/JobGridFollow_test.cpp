// The grid keeping a run's current row in view, until the user scrolls the list.
#include "Job.h"
#include "JobGrid.h"
#include "JobList.h"
#include "JobTableModel.h"
#include "QtApplication.h"

#include <QApplication>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

class JobGridFollow : public ::testing::Test, test::WithQtApplication<QApplication>
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 100; ++i) {
            Job job;
            job.FilePath = "/music/track " + std::to_string(i) + ".wav";
            jobs.rsJobs().append(job);
        }
        grid.resize(600, 200);
        grid.show();
        QApplication::processEvents();
    }

    bool inView(int row)
    {
        const QRect cell = grid.visualRect(grid.model()->index(row, 2));
        return grid.viewport()->rect().contains(cell);
    }

    JobList jobs;
    JobTableModel model{jobs};
    JobGrid grid{model};
};

TEST_F(JobGridFollow, KeepsTheRunsRowInViewUntilTheUserScrolls)
{
    ASSERT_FALSE(inView(60));
    grid.startFollowing();
    grid.followRow(60);
    EXPECT_TRUE(inView(60));
    grid.followRow(61);
    EXPECT_TRUE(inView(61));

    // The user looks back at the top of the list: the run leaves the list there.
    grid.verticalScrollBar()->setValue(0);
    grid.followRow(62);
    EXPECT_FALSE(inView(62));
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);

    // The next run follows again.
    grid.startFollowing();
    grid.followRow(90);
    EXPECT_TRUE(inView(90));
}

TEST_F(JobGridFollow, RowsOutsideTheListAreIgnored)
{
    grid.startFollowing();
    grid.followRow(50);
    const int value = grid.verticalScrollBar()->value();
    grid.followRow(-1);
    grid.followRow(100);
    EXPECT_EQ(grid.verticalScrollBar()->value(), value);
    grid.followRow(0);
    EXPECT_TRUE(inView(0)) << "ignored rows do not count as the user's scrolling";
}

} // namespace
} // namespace tunevale
