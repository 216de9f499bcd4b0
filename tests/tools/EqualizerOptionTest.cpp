// The console player's --eq: flat gains leave every sample as it was, other
// gains change the sound, and anything but 2, 3 or 5 gains from -15 to +15
// dB is a usage error.
#include "tests/support/TestData.h"
#include "tests/tools/PlayerRun.h"

#include <gtest/gtest.h>

using namespace tessel::test;

TEST(EqualizerOption, ZeroDbIsBitIdenticalAndGainsShapeTheSound) {
    TempDir tmp;
    const auto signal = MakeSignal(44100, 2, 60000, 21);
    WriteWav16(tmp / "in.wav", 44100, 2, signal);
    const std::string in = " " + Quote(tmp / "in.wav");
    ASSERT_EQ(PlayTool("-o " + Quote(tmp / "plain.wav") + in).status, 0);
    ASSERT_EQ(PlayTool("--eq 0,0,0,0,0 -o " + Quote(tmp / "flat.wav") + in).status, 0);
    const ToolRun shaped = PlayTool("--eq 15,-15,4.5 -o " + Quote(tmp / "eq.wav") + in);
    ASSERT_EQ(shaped.status, 0) << shaped.err;
    const WavData plain = ReadWav16(tmp / "plain.wav");
    const WavData flat = ReadWav16(tmp / "flat.wav");
    const WavData eq = ReadWav16(tmp / "eq.wav");
    ASSERT_EQ(plain.samples, signal);
    EXPECT_TRUE(flat.samples == plain.samples);
    ASSERT_EQ(eq.samples.size(), plain.samples.size());
    EXPECT_FALSE(eq.samples == plain.samples);
}

TEST(EqualizerOption, GainsThatAreNotTwoThreeOrFiveInRangeAreUsageErrors) {
    TempDir tmp;
    WriteWav16(tmp / "in.wav", 44100, 2, MakeSignal(44100, 2, 3000, 22));
    const std::string in = " " + Quote(tmp / "in.wav");
    for (const char* bad :
         {"1", "1,2,3,4", "1,2,3,4,5,6", "16,0", "0,-15.5", "a,b", "1,,2", "1,2,", "nan,0", "''"}) {
        const ToolRun run = PlayTool(std::string("--eq ") + bad + in);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("not 2, 3 or 5 gains"), std::string::npos) << bad << ": " << run.err;
    }
    EXPECT_EQ(PlayTool("--eq 1,2 --eq 1,2" + in).status, 2) << "given twice";
    EXPECT_EQ(PlayTool(in + " --eq").status, 2) << "no gains";
}
