#include "platform/sha.h"

#include <gtest/gtest.h>

#include "tests/support/digests.h"
#include "tests/support/temp_folder.h"

namespace launcher {
namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
    return bytes;
}

struct KnownAnswer {
    std::string input;
    const char* sha1;
    const char* sha256;
};

// FIPS 180 examples, and a byte pattern of lengths around the one- and two-block tails.
const std::vector<KnownAnswer>& KnownAnswers() {
    static const std::vector<KnownAnswer> answers = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {Pattern(55), "ddf57317ef34bfee3b6df83d359098930eb278bc",
         "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {Pattern(56), "a0d492bb0fc889d0eca3bc137066ab6f4f74f369",
         "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {Pattern(57), "11a02dcf95859677a62e75024067c22b165d890f",
         "35df609437dcfea3279283ab79fd554e2bf78f8f7ae2de532d8ee300b09e8f73"},
        {Pattern(63), "c55856749bef509bdfe6bfebfc7bf4e793e82132",
         "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {Pattern(64), "bede92be29c3874e1b54ddc77988d606fc857a8e",
         "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {Pattern(65), "b05a80522b053d6dc7e0a517d0e70212c7dad11f",
         "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {Pattern(119), "504e27376a6e0f0dba8295b85cb25dc4dfa17d23",
         "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {Pattern(120), "82134b02fb3f702491be9bed581eeab59334acb2",
         "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {Pattern(128), "a09133e6730ffe899efb70204cb5646cd5dc24ee",
         "d2742f1f4ac6bb7ca2b239ee18402ba8b3f9f8e652d2a72973c2b9ba11c08cf6"},
        {Pattern(1000), "4231a8a50a10fa9758db8ec71fdef855b751048a",
         "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    };
    return answers;
}

// Every test runs once on each block function this build and processor have.
class ShaTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        previous = ActiveShaKernel();
        ASSERT_TRUE(UseShaKernel(GetParam()));
    }
    void TearDown() override { UseShaKernel(previous); }
    std::string previous;
};

TEST_P(ShaTest, KnownAnswers) {
    for (const KnownAnswer& answer : KnownAnswers()) {
        EXPECT_EQ(test::Sha1Of(answer.input), answer.sha1) << answer.input.size() << " bytes";
        EXPECT_EQ(test::Sha256Of(answer.input), answer.sha256) << answer.input.size() << " bytes";
    }
}

TEST_P(ShaTest, InputSplitAnywhereGivesTheSameDigest) {
    for (const KnownAnswer& answer : KnownAnswers()) {
        const std::string& input = answer.input;
        if (input.size() > 1000) continue;
        for (size_t split = 0; split <= input.size(); ++split) {
            Sha1Context sha1;
            Sha1Init(sha1);
            Sha1Update(sha1, input.data(), split);
            Sha1Update(sha1, input.data() + split, input.size() - split);
            Sha256Context sha256;
            Sha256Init(sha256);
            Sha256Update(sha256, input.data(), split);
            Sha256Update(sha256, input.data() + split, input.size() - split);
            ASSERT_EQ(Sha1Final(sha1), answer.sha1) << input.size() << " bytes split at " << split;
            ASSERT_EQ(Sha256Final(sha256), answer.sha256) << input.size() << " bytes split at " << split;
        }
    }
}

TEST_P(ShaTest, ByteByByte) {
    const std::string input = Pattern(1000);
    Sha1Context sha1;
    Sha1Init(sha1);
    for (char c : input) Sha1Update(sha1, &c, 1);
    EXPECT_EQ(Sha1Final(sha1), "4231a8a50a10fa9758db8ec71fdef855b751048a");
}

TEST_P(ShaTest, FilesAroundTheBufferSize) {
    test::TempFolder temp;
    test::WriteFile(temp / "empty.bin", "");
    test::WriteFile(temp / "one.bin", Pattern(1 << 20));
    test::WriteFile(temp / "more.bin", Pattern((1 << 20) + 1));
    EXPECT_EQ(Sha256File(temp / "empty.bin"), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256File(temp / "one.bin"), "172c15dc2e12b50e523d8e657cbe7fbb11c1053252bbf1e1431077d57d8128fd");
    EXPECT_EQ(Sha256File(temp / "more.bin"), "75059752ce0b546127d584a3992627babb59950933c6d82d10ad46fec48e7c96");
    EXPECT_EQ(Sha256File(temp / "missing.bin"), "");
    EXPECT_EQ(Sha256File(temp.path()), "");
}

INSTANTIATE_TEST_SUITE_P(Kernels, ShaTest, testing::ValuesIn(AvailableShaKernels()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

TEST(ShaKernelTest, ThePortableOneIsAlwaysThereAndUnknownOnesAreRefused) {
    EXPECT_EQ(AvailableShaKernels().front(), "portable");
    EXPECT_FALSE(UseShaKernel("quantum"));
}

TEST(ToHexTest, WritesEachWordMostSignificantDigitFirst) {
    const std::uint32_t words[] = {0x0123abcd, 0xf0000001};
    EXPECT_EQ(ToHex(words, 2), "0123abcdf0000001");
    EXPECT_EQ(ToHex(words, 0), "");
}

}  // namespace
}  // namespace launcher
