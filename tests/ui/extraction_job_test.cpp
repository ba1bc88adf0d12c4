#include "ui/extraction_job.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <memory>
#include <string>

#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::Make;

// Large enough that a batch is still running when the test looks at it.
const std::string& HugeContent() {
    static const std::string content(std::size_t{64} << 20, 'h');
    return content;
}

class ExtractionJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            session
                .open(dir.write("a.dat", datwriter::BuildDat({Make("D\\HUGE", HugeContent()),
                                                              Make("D\\SMALL", "s")})))
                .ok);
        std::filesystem::create_directory(dest());
    }
    std::filesystem::path dest() const { return dir / "out"; }
    ExtractionPlan Everything() const {
        return PlanExtraction(session, {ExtractionSubject::Kind::Archive, {}}, {}, dest());
    }

    test::TempDir dir;
    ArchiveSession session;
};

// Busy from start to finish, with one report at the end; a second start meanwhile is refused
// and leaves the running batch alone.
TEST_F(ExtractionJobTest, RunsOneBatchAtATimeAndReportsOnce) {
    ExtractionJob job;
    QSignalSpy busy(&job, &ExtractionJob::busyChanged);
    QSignalSpy finished(&job, &ExtractionJob::finished);
    ASSERT_TRUE(job.start(session, Everything()));
    EXPECT_TRUE(job.busy());
    EXPECT_TRUE(session.inUse());
    EXPECT_FALSE(job.start(session, Everything()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !job.busy(); }, 60000));

    ASSERT_EQ(busy.size(), 2);
    EXPECT_TRUE(busy[0][0].toBool());
    EXPECT_FALSE(busy[1][0].toBool());
    ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(session.inUse());
    EXPECT_EQ(test::Snapshot(dest()),
              (std::map<std::string, std::string>{
                  {"D", "<dir>"}, {"D/HUGE", HugeContent()}, {"D/SMALL", "s"}}));

    // The same job runs the next batch on a new thread, and reports it once too.
    ASSERT_TRUE(job.start(session, Everything()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !job.busy(); }, 60000));
    EXPECT_EQ(finished.size(), 2);
    EXPECT_FALSE(session.inUse());
}

// Cancel, and going away (the program quitting during a batch), both stop the batch within a
// chunk: the partial file is removed and the session is free again.
TEST_F(ExtractionJobTest, CancelAndDestructionStopTheBatchAndReturn) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "cancelled");
        std::filesystem::remove_all(dest());
        std::filesystem::create_directory(dest());
        auto job = std::make_unique<ExtractionJob>();
        ASSERT_TRUE(job->start(session, Everything()));
        if (destroy) {
            job.reset();
            // A finish the thread posted dies with the job and reaches nothing.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        } else {
            job->cancel();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !job->busy(); }, 60000));
        }
        EXPECT_FALSE(session.inUse());
        const auto files = test::Snapshot(dest());
        EXPECT_EQ(files.count("D/HUGE"), 0u);
    }
}

}  // namespace
}  // namespace tarvix
