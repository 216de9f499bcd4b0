// ReplayGain values from the file's and the stream's tags (FFmpeg gives every
// container's under the same names), the value parser's accepted and refused
// spellings, and the factor each mode gives.
#include "decode/ReplayGain.h"
#include "decode/LoudnessScan.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessel::test {
namespace {

TEST(ReplayGainTags, ReadFromTheFilesOrTheStreamsTags) {
    const auto source = SourceWav(44100, 2, 22050, 31);
    const auto tags = [](const std::string& flag) {
        return flag + " 'REPLAYGAIN_TRACK_GAIN=-6.20 dB' " + flag +
               " replaygain_track_peak=0.98765 " + flag + " Replaygain_Album_Gain=+1.5 " + flag +
               " REPLAYGAIN_ALBUM_PEAK=1.25 ";
    };
    const ReplayGainValues all{-6.2, 0.98765, 1.5, 1.25};
    struct Case {
        std::string args;
        std::string extension;
        ReplayGainValues expected;
    };
    const Case cases[] = {
        {tags("-metadata") + "-c:a flac", "flac", all},           // the file's tags
        {tags("-metadata:s:a:0") + "-c:a libvorbis", "ogg", all}, // the stream's
        // R128 gains win in Opus (-512/256 + 5 = 3 dB; 1280/256 + 5 = 10 dB),
        // the peak stays ...
        {"-metadata REPLAYGAIN_TRACK_GAIN=-6 -metadata REPLAYGAIN_TRACK_PEAK=0.5 "
         "-metadata R128_TRACK_GAIN=-512 -metadata R128_ALBUM_GAIN=1280 -c:a libopus",
         "opus",
         {3.0, 0.5, 10.0, {}}},
        // ... and only there.
        {"-metadata R128_TRACK_GAIN=-512 -c:a flac", "flac", {}},
        // Malformed values are left out, the others kept.
        {"-metadata REPLAYGAIN_TRACK_GAIN=loud -metadata REPLAYGAIN_TRACK_PEAK=-1 "
         "-metadata 'REPLAYGAIN_ALBUM_GAIN=-3 dB' -c:a flac",
         "flac",
         {{}, {}, -3.0, {}}},
        {"-metadata:s:a:0 R128_TRACK_GAIN=1.5 -metadata:s:a:0 REPLAYGAIN_TRACK_GAIN=-2 -c:a "
         "libopus",
         "opus",
         {-2.0, {}, {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(ReadFileReplayGain(Encoded(source, c.args, c.extension).string()), c.expected);
    }
}

TEST(ReplayGainTags, ParserAcceptsTheUsualSpellingsAndRefusesTheRest) {
    const std::pair<const char*, std::optional<double>> gains[] = {
        {"-6.20 dB", -6.2}, {"+1.5", 1.5},  {"1.5dB", 1.5},    {" -0.5 DB ", -0.5},
        {"3", 3.0},         {".5 db", 0.5}, {"-60 dB", -60.0}, {"0 dB", 0.0},
        {"", {}},           {"dB", {}},     {"- 3", {}},       {"1e3", {}},
        {"nan", {}},        {"inf", {}},    {"1.2.3", {}},     {"-6,20 dB", {}},
        {"+-1", {}},        {"61", {}},     {"3 dBs", {}},     {"3 dB 4", {}},
    };
    for (const auto& [text, expected] : gains)
        EXPECT_EQ(ParseReplayGainDb(text), expected) << '"' << text << '"';

    const std::pair<const char*, std::optional<double>> peaks[] = {
        {"0.98765", 0.98765}, {"1.000000", 1.0}, {" 1.5 ", 1.5}, {"0", {}},
        {"-0.5", {}},         {"1e-3", {}},      {"101", {}},    {"x", {}},
    };
    for (const auto& [text, expected] : peaks)
        EXPECT_EQ(ParseReplayGainPeak(text), expected) << '"' << text << '"';

    // Q7.8 fixed point towards -23 LUFS: 5 dB more towards -18.
    const std::pair<const char*, std::optional<double>> r128[] = {
        {"0", 5.0},    {"-512", 3.0}, {"+256", 6.0}, {"-32768", -123.0}, {"32767", 132.99609375},
        {"32768", {}}, {"1.5", {}},   {"", {}},      {"-", {}},          {"0x10", {}},
    };
    for (const auto& [text, expected] : r128)
        EXPECT_EQ(ParseR128GainDb(text), expected) << '"' << text << '"';
}

double Db(double factor) {
    return 20.0 * std::log10(factor);
}

TEST(ReplayGainFactor, EachModeWithPreampFallbackAndClippingPrevention) {
    const ReplayGainValues tagged{-6.0, 0.5, -8.0, 0.8};
    const ReplayGainValues trackOnly{-6.0, 0.5, {}, {}};
    const ReplayGainValues loudPeak{+6.0, 0.9, {}, {}};
    const ReplayGainValues none{};
    using M = ReplayGainMode;
    struct Case {
        M mode;
        double preamp, untagged;
        bool prevent;
        ReplayGainValues values;
        bool shuffled;
        double expectedDb;
    };
    const Case cases[] = {
        {M::Off, 10.0, 5.0, false, tagged, false, 0.0},
        {M::Track, 0.0, 0.0, true, tagged, false, -6.0},
        {M::Album, 0.0, 0.0, true, tagged, false, -8.0},
        {M::Album, 0.0, 0.0, true, trackOnly, false, -6.0}, // falls back to the track
        {M::Auto, 0.0, 0.0, true, tagged, false, -8.0},     // in order: album
        {M::Auto, 0.0, 0.0, true, tagged, true, -6.0},      // shuffled: track
        {M::Track, 3.0, 0.0, true, tagged, false, -3.0},    // the preamp
        {M::Track, 40.0, 0.0, false, tagged, false, 9.0},   // clamped to +15
        {M::Track, 0.0, -4.0, true, none, false, -4.0},     // untagged: its own gain
        {M::Track, 9.0, -4.0, true, none, false, -4.0},     // ... without the preamp
        {M::Track, 0.0, 4.0, true, none, false, 0.0},       // no peak: not above 0 dB
        {M::Track, 0.0, 4.0, false, none, false, 4.0},
        {M::Track, 0.0, 0.0, true, loudPeak, false, Db(1.0 / 0.9)}, // peak x gain = 1
        {M::Track, 13.0, 0.0, true, tagged, false, Db(2.0)},        // +7 dB capped by the 0.5 peak
    };
    for (const Case& c : cases) {
        const ReplayGainSettings settings{c.mode, c.preamp, c.untagged, c.prevent};
        EXPECT_NEAR(Db(ReplayGainFactor(settings, c.values, c.shuffled)), c.expectedDb, 1e-9)
            << "mode " << static_cast<int>(c.mode) << " preamp " << c.preamp << " untagged "
            << c.untagged << " prevention " << c.prevent;
    }
}

} // namespace
} // namespace tessel::test
