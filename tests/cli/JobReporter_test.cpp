#include "JobReporter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tunevale
{
namespace
{

// What a reporter writes, caught in memory.
class Captured
{
public:
    Captured() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~Captured()
    {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    std::FILE* file() { return m_file; }
    std::string text()
    {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

const JobReport kComplete{"/in/a.flac", "/out/a.mp3", JobReport::Outcome::Complete, 1.5, "", {}};
const JobReport kFailed{"/in/b.flac", "/out/b.mp3", JobReport::Outcome::Error, 0.25, "the conversion failed", {}};

TEST(StatusText, CountsPercentagesElapsedAndEstimatedTimeLeft)
{
    EXPECT_EQ(statusText({1, 4, {50.0}, 30.0}), "1/4 done  50%  0:30 elapsed, about 0:50 left");
    EXPECT_EQ(statusText({0, 3, {}, 2.0}), "0/3 done  0:02 elapsed");
    EXPECT_EQ(statusText({0, 3, {0.0}, 2.0}), "0/3 done  0%  0:02 elapsed");
    EXPECT_EQ(statusText({2, 2, {}, 3725.0}), "2/2 done  1:02:05 elapsed, about 0:00 left");
    EXPECT_EQ(statusText({0, 2, {25.0, 75.0}, 10.0}), "0/2 done  25%  75%  0:10 elapsed, about 0:10 left");
    // A normalised run's measuring pass: no time left is guessed from it.
    EXPECT_EQ(statusText({0, 3, {}, 2.0, {40.0, 12.5}}), "0/3 done  measuring 40% 12%  0:02 elapsed");
}

TEST(JobReporter, PrintsOneTabSeparatedLinePerJob)
{
    Captured out;
    JobReporter reporter(out.file(), JobReporter::Style::Lines, false, false);
    reporter.progress({0, 2, {10.0}, 1.0});
    reporter.jobEnded(kComplete);
    reporter.jobEnded(kFailed);
    reporter.jobEnded({"/in/c.wav", "", JobReport::Outcome::Refused, 0, "no such file", {}});
    reporter.jobEnded(
        {"/in/d.flac", "/out/d.mp3", JobReport::Outcome::Complete, 1, "", "tags not written: No space left on device"});
    reporter.finish();
    EXPECT_EQ(out.text(), "Complete\t/in/a.flac\t/out/a.mp3\n"
                          "Error\t/in/b.flac\tthe conversion failed\n"
                          "Refused\t/in/c.wav\tno such file\n"
                          "Complete\t/in/d.flac\t/out/d.mp3\twarning: tags not written: No space left on device\n");
}

TEST(JobReporter, FailuresOnlyLeavesOutCompletedJobs)
{
    Captured out;
    JobReporter reporter(out.file(), JobReporter::Style::Lines, true, true);
    reporter.progress({0, 2, {10.0}, 1.0});
    reporter.jobEnded(kComplete);
    reporter.jobEnded({"/in/c.wav", "", JobReport::Outcome::Waiting, 0, "not started", {}});
    reporter.finish();
    EXPECT_EQ(out.text(), "Waiting\t/in/c.wav\tnot started\n");
}

TEST(JobReporter, StatusLineIsClearedBeforeEachJobLineAndAtTheEnd)
{
    Captured out;
    JobReporter reporter(out.file(), JobReporter::Style::Lines, false, true);
    reporter.progress({0, 2, {10.0}, 1.0});
    // The same text is not drawn twice.
    reporter.progress({0, 2, {10.0}, 1.0});
    reporter.jobEnded(kComplete);
    reporter.progress({1, 2, {}, 2.0});
    reporter.finish();
    reporter.finish();
    EXPECT_EQ(out.text(), "\r\x1b[K0/2 done  10%  0:01 elapsed, about 0:19 left"
                          "\r\x1b[KComplete\t/in/a.flac\t/out/a.mp3\n"
                          "\r\x1b[K1/2 done  0:02 elapsed, about 0:02 left"
                          "\r\x1b[K");
}

TEST(JobReporter, JsonIsOneEscapedObjectPerLineWithoutAStatusLine)
{
    Captured out;
    JobReporter reporter(out.file(), JobReporter::Style::Json, false, true);
    reporter.progress({0, 1, {10.0}, 1.0});
    reporter.jobEnded(
        {"/in/\"q\"\t\\\n\x01\xc3\xa9.wav", "/out/x.wav", JobReport::Outcome::Cancelled, 2.5, "stopped", {}});
    reporter.jobEnded({"/in/t.flac", "/out/t.wma", JobReport::Outcome::Complete, 1, "", "tags left out: Title"});
    reporter.finish();
    EXPECT_EQ(out.text(), "{\"error\":\"stopped\",\"output\":\"/out/x.wav\",\"seconds\":2.5,"
                          "\"source\":\"/in/\\\"q\\\"\\t\\\\\\n\\u0001\xc3\xa9.wav\",\"status\":\"cancelled\","
                          "\"warning\":\"\"}\n"
                          "{\"error\":\"\",\"output\":\"/out/t.wma\",\"seconds\":1,\"source\":\"/in/t.flac\","
                          "\"status\":\"complete\",\"warning\":\"tags left out: Title\"}\n");
}

TEST(OutcomeText, NamesEachOutcome)
{
    EXPECT_STREQ(outcomeText(JobReport::Outcome::Complete), "Complete");
    EXPECT_STREQ(outcomeText(JobReport::Outcome::Error), "Error");
    EXPECT_STREQ(outcomeText(JobReport::Outcome::Cancelled), "Cancelled");
    EXPECT_STREQ(outcomeText(JobReport::Outcome::Refused), "Refused");
    EXPECT_STREQ(outcomeText(JobReport::Outcome::Waiting), "Waiting");
}

} // namespace
} // namespace tunevale
