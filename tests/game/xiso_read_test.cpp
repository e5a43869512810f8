// The retried reads of the disc reader, over a file whose passes fail or fall short on purpose.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>

#include "game/xiso.h"
#include "tests/game/log_capture.h"
#include "tests/support/regex_matcher.h"

namespace launcher {
namespace {

using testing::ElementsAre;

// Serves a file of known bytes; each pass follows the next step of its script, then reads whole.
class ScriptedFile final : public PositionedFile {
public:
    struct Step {
        std::uint32_t bytes;  // at most this many
        unsigned long error;
    };

    ScriptedFile(std::string data, std::deque<Step> script, std::vector<std::uint64_t>* asked)
        : data_(std::move(data)), script_(std::move(script)), asked_(asked) {}

    ReadPass Read(std::uint64_t offset, void* buffer, std::uint32_t count) override {
        asked_->push_back(offset);
        std::uint32_t limit = count;
        ReadPass pass;
        if (!script_.empty()) {
            limit = std::min(limit, script_.front().bytes);
            pass.error = script_.front().error;
            script_.pop_front();
        }
        const std::uint64_t left = offset < data_.size() ? data_.size() - offset : 0;
        pass.bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(limit, left));
        std::copy_n(data_.data() + offset, pass.bytes, static_cast<char*>(buffer));
        return pass;
    }

    std::uint64_t Size() override { return data_.size(); }

private:
    std::string data_;
    std::deque<Step> script_;
    std::vector<std::uint64_t>* asked_;
};

class RetriedReadTest : public testing::Test {
protected:
    void SetUp() override { discReadWarnings = 0; }

    std::uint32_t Read(std::deque<ScriptedFile::Step> script, std::uint32_t count = 7000) {
        image.file = std::make_unique<ScriptedFile>(data, std::move(script), &asked);
        buffer.assign(count, '\0');
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t done = image.ReadAt(1000, buffer.data(), count);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return done;
    }

    test::LogCapture log;
    std::string data = std::string(20000, 'd');
    XisoImage image;
    std::vector<std::uint64_t> asked;
    std::string buffer;
    double seconds = 0;
};

TEST_F(RetriedReadTest, TwoFailedPassesAreAskedAgainAfterAPause) {
    EXPECT_EQ(Read({{0, 21}, {0, 21}}), 7000u);
    EXPECT_EQ(buffer, data.substr(1000, 7000));
    EXPECT_THAT(asked, ElementsAre(1000, 1000, 1000));
    EXPECT_GE(seconds, 0.1);  // two pauses of 50 ms
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_THAT(line, test::FullyMatches(
                              R"(\[ *[0-9]+\.[0-9]{3}\] disc: a read at 1000 failed \(host error 21\), asked again)"));
    }
}

TEST_F(RetriedReadTest, SixEmptyPassesGiveAShortRead) {
    EXPECT_EQ(Read({{0, 23}, {0, 23}, {0, 23}, {0, 23}, {0, 23}, {0, 23}, {0, 23}}), 0u);
    EXPECT_EQ(asked.size(), 6u);
    EXPECT_GE(seconds, 0.25);
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_THAT(lines.back(), testing::EndsWith("] error: disc: 0 of 7000 bytes read at 1000 after 5 retries "
                                                "(host error 23): the title gets a short read"));
}

TEST_F(RetriedReadTest, AReadThatComesInSevenPiecesUsesUpTheRetriesWithoutPauses) {
    std::deque<ScriptedFile::Step> pieces(7, ScriptedFile::Step{1000, 0});
    EXPECT_EQ(Read(pieces), 6000u);
    EXPECT_THAT(asked, ElementsAre(1000, 2000, 3000, 4000, 5000, 6000));
    EXPECT_EQ(buffer.substr(0, 6000), data.substr(1000, 6000));
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], testing::EndsWith("] error: disc: 6000 of 7000 bytes read at 1000 after 5 retries "
                                            "(host error 0): the title gets a short read"));
}

TEST_F(RetriedReadTest, AFailedPassAfterProgressIsAskedAtTheNewPosition) {
    EXPECT_EQ(Read({{3000, 0}, {0, 5}}), 7000u);
    EXPECT_THAT(asked, ElementsAre(1000, 4000, 4000));
    EXPECT_THAT(log.Lines(), ElementsAre(testing::EndsWith("disc: a read at 4000 failed (host error 5), asked again")));
}

TEST_F(RetriedReadTest, TheEndOfTheFileEndsTheReadAtOnce) {
    data.resize(3000);
    EXPECT_EQ(Read({}), 2000u);
    EXPECT_THAT(asked, ElementsAre(1000, 3000));
    EXPECT_THAT(log.Lines(), testing::IsEmpty());
}

TEST_F(RetriedReadTest, NothingAskedReadsNothing) {
    EXPECT_EQ(Read({{0, 1}}, 0), 0u);
    EXPECT_TRUE(asked.empty());
}

TEST_F(RetriedReadTest, OnlyTheFirstTwentyEmptyPassesOfTheProcessAreLogged) {
    discReadWarnings = 19;
    EXPECT_EQ(Read({{0, 2}, {0, 2}, {0, 2}}), 7000u);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(discReadWarnings, 22u);
}

}  // namespace
}  // namespace launcher
