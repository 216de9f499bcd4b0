// The worker that publishes the loaded track's cover: only the latest
// request counts, a track without a cover takes the last picture away, and
// so does the worker's end.
#include "decode/CoverArtWorker.h"
#include "decode/LatestJobThread.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace tessel::test {
namespace {

using namespace std::chrono_literals;

TEST(LatestJobThread, AJobPostedWhileAnotherWaitsReplacesIt) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> firstStarted;
    std::promise<void> twoRan;
    std::mutex mutex;
    std::vector<uint64_t> ran;
    bool firstWasLatestAtEnd = true;
    {
        CLatestJobThread thread;
        std::vector<uint64_t> posted;
        posted.push_back(thread.Post([&](uint64_t number) {
            firstStarted.set_value();
            released.wait();
            std::lock_guard lock(mutex);
            ran.push_back(number);
            firstWasLatestAtEnd = thread.IsLatest(number);
        }));
        firstStarted.get_future().wait();
        // Both wait behind the running one; only the second survives.
        for (int i = 0; i < 2; ++i)
            posted.push_back(thread.Post([&](uint64_t number) {
                std::lock_guard lock(mutex);
                ran.push_back(number);
                if (ran.size() == 2)
                    twoRan.set_value();
            }));
        EXPECT_EQ(posted, (std::vector<uint64_t>{1, 2, 3}));
        EXPECT_TRUE(thread.IsLatest(3));
        release.set_value();
        // Two have run before the thread goes (its end drops a waiting job).
        ASSERT_EQ(twoRan.get_future().wait_for(30s), std::future_status::ready);
    }
    EXPECT_EQ(ran, (std::vector<uint64_t>{1, 3}));
    EXPECT_FALSE(firstWasLatestAtEnd) << "a running job learns it was overtaken";
}

fs::path FlacWithCover(const std::string& colour) {
    return WithCover(Picture(colour, "png"), "-c:a flac", "flac");
}

// The worker's answers, as its thread gives them.
struct Answers {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<uint64_t, std::string>> got;

    CCoverArtWorker::Answer Sink() {
        return [this](uint64_t request, const std::string& url) {
            std::lock_guard lock(mutex);
            got.emplace_back(request, url);
            arrived.notify_all();
        };
    }
    // The answer to `request`; fails the test when none comes.
    std::string For(uint64_t request) {
        std::unique_lock lock(mutex);
        const bool came = arrived.wait_for(
            lock, 30s, [&] { return !got.empty() && got.back().first == request; });
        EXPECT_TRUE(came) << "no answer to request " << request;
        return came ? got.back().second : std::string("<none>");
    }
};

fs::path FileOf(const std::string& url) {
    return url.rfind("file://", 0) == 0 ? fs::path(url.substr(7)) : fs::path();
}

TEST(CoverArtWorker, PublishesTheLatestTracksCoverAndTakesItAwayWithNoneOrAtTheEnd) {
    TempDir dir;
    const fs::path folder = dir / "covers";
    const fs::path red = FlacWithCover("red");
    const fs::path blue = FlacWithCover("blue");
    Answers answers;
    fs::path last;
    {
        CCoverArtWorker worker(answers.Sink(), folder);
        const std::string url = answers.For(worker.Request(red.string()));
        const fs::path redFile = FileOf(url);
        ASSERT_FALSE(redFile.empty()) << url;
        EXPECT_EQ(redFile.parent_path(), folder);

        // A track without a cover: nothing is published, the last one goes.
        EXPECT_EQ(answers.For(worker.Request(SourceWav(44100, 2, 22050, 41).string())), "");
        EXPECT_FALSE(fs::exists(redFile));

        // A quick run of changes: the last request's cover is the one that
        // stays, whatever the ones before it did meanwhile.
        worker.Request(red.string());
        worker.Request("");
        const uint64_t latest = worker.Request(blue.string());
        last = FileOf(answers.For(latest));
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(ReadBytes(last), ReadEmbeddedCover(blue.string()).bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
            << "a superseded cover was left behind";
    }
    EXPECT_FALSE(fs::exists(last)) << "the worker's end leaves no picture";
}

} // namespace
} // namespace tessel::test
