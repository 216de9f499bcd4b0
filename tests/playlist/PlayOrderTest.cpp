#include "playlist/PlayOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tessel {
namespace {

// Album j: tag "Album <j % 4>" (none for every third) in folder d<j / 2>, so
// some albums share a folder and some share a tag in different folders.
void AddEntry(CTrackList& list, int album, int insertAt = -1) {
    const std::string folder = "/m/d" + std::to_string(album / 2);
    list.AddTrack("", 60.0, folder + "/t" + std::to_string(list.GetCount()) + ".mp3", insertAt);
    TrackTags tags;
    if (album % 3 != 2)
        tags.album = "Album " + std::to_string(album % 4);
    list.SetTags(insertAt < 0 ? list.GetCount() - 1 : insertAt, tags);
}

std::string AlbumLabel(const CTrackList& list, EntryId id) {
    const int row = list.FindRow(id);
    return list.GetTags(row).album + "|" +
           std::filesystem::path(list.GetTrackPath(row)).parent_path().string();
}

std::set<EntryId> Playable(const CTrackList& list) {
    std::set<EntryId> ids;
    for (int i = 0; i < list.GetCount(); ++i)
        if (!list.IsUnreadable(i))
            ids.insert(list.GetId(i));
    return ids;
}

// Each album's entries in one run, in list order.
void ExpectAlbumsWhole(const CTrackList& list, const std::vector<EntryId>& sequence) {
    std::set<std::string> seen;
    for (size_t i = 0; i < sequence.size(); ++i) {
        const std::string label = AlbumLabel(list, sequence[i]);
        if (i > 0 && label == AlbumLabel(list, sequence[i - 1]))
            EXPECT_GT(list.FindRow(sequence[i]), list.FindRow(sequence[i - 1])) << label;
        else
            EXPECT_TRUE(seen.insert(label).second) << label << " comes back later in the round";
    }
}

struct Session {
    CTrackList list;
    CPlayOrder order;
    EntryId current = 0;

    Session(int entries, uint32_t seed, ShuffleMode mode) : order(list, seed) {
        std::mt19937 random(seed);
        const int albums = 1 + static_cast<int>(random() % static_cast<unsigned>(entries / 3 + 1));
        for (int i = 0; i < entries; ++i)
            AddEntry(list, static_cast<int>(random() % static_cast<unsigned>(albums)));
        if (entries >= 5)
            list.SetUnreadable(2);
        order.SetRepeat(RepeatMode::All);
        order.SetShuffle(mode);
    }

    EntryId Step() {
        const EntryId next = order.PeekNextForEndOfTrack(current);
        EXPECT_EQ(order.PeekNextForEndOfTrack(current), next) << "a question changed the answer";
        EXPECT_EQ(order.PeekNextForUser(current), next);
        order.Advance(current = next);
        return next;
    }

    std::vector<EntryId> Round() {
        std::vector<EntryId> played;
        for (size_t i = 0; i < Playable(list).size(); ++i)
            played.push_back(Step());
        return played;
    }
};

// Both shuffle modes over lists of 1 to 40 entries, six seeds each.
std::vector<std::tuple<ShuffleMode, int, uint32_t>> GeneratedCases() {
    std::vector<std::tuple<ShuffleMode, int, uint32_t>> cases;
    for (ShuffleMode mode : {ShuffleMode::Tracks, ShuffleMode::Albums})
        for (int entries : {1, 2, 3, 6, 13, 40})
            for (uint32_t seed = 1; seed <= 6; ++seed)
                cases.emplace_back(mode, entries, seed * 7919u + static_cast<uint32_t>(entries));
    return cases;
}

// The rules shuffle keeps whatever the list and the seed: a round plays every
// playable entry once, a new round does not open with what was just heard,
// albums play whole and in list order, Previous retraces the history and Next
// then retraces it forward, a picked row is not heard twice, added entries
// are heard in the round they join, deleted ones never again.
TEST(PlayOrder, ShuffleRulesHoldForGeneratedListsAndSeeds) {
    for (const auto& [mode, entries, seed] : GeneratedCases()) {
        SCOPED_TRACE(testing::Message()
                     << entries << " entries, seed " << seed << ", " << ShuffleModeText(mode));
        Session s(entries, seed, mode);
        const bool albums = mode == ShuffleMode::Albums;

        std::vector<EntryId> previousRound;
        for (int round = 0; round < 2; ++round) {
            const std::vector<EntryId> played = s.Round();
            EXPECT_EQ(std::set(played.begin(), played.end()), Playable(s.list));
            if (albums)
                ExpectAlbumsWhole(s.list, played);
            if (!previousRound.empty() && played.size() > 1) {
                EXPECT_NE(played.front(), previousRound.back());
                const std::string first = AlbumLabel(s.list, played.front());
                if (albums && std::any_of(played.begin(), played.end(), [&](EntryId id) {
                        return AlbumLabel(s.list, id) != first;
                    })) {
                    EXPECT_NE(first, AlbumLabel(s.list, previousRound.back()));
                }
            }
            previousRound = played;
        }

        // The same seed and calls give the same order.
        Session again(entries, seed, mode);
        again.Round();
        EXPECT_EQ(again.Round(), previousRound);

        // A disturbed third round.
        std::mt19937 random(seed);
        std::vector<EntryId> played;
        const size_t half = Playable(s.list).size() / 2;
        for (size_t i = 0; i < half; ++i)
            played.push_back(s.Step());

        // Previous retraces two steps (into the round before when this one is
        // that short), and Next the same steps forward.
        std::vector<EntryId> history = previousRound;
        history.insert(history.end(), played.begin(), played.end());
        const size_t back = std::min<size_t>(2, history.size() - 1);
        for (size_t i = 1; i <= back; ++i) {
            EXPECT_EQ(s.order.PeekPrevious(s.current), history[history.size() - 1 - i]);
            s.order.StepBack(s.current = history[history.size() - 1 - i]);
        }
        for (size_t i = back; i-- > 0;) {
            EXPECT_EQ(s.order.PeekNextForUser(s.current), history[history.size() - 1 - i]);
            s.order.Advance(s.current = history[history.size() - 1 - i]);
        }

        std::set<EntryId> heard(played.begin(), played.end());
        if (played.empty())
            heard.insert(s.current); // one entry: the round it repeats in goes on
        std::vector<EntryId> unheard;
        for (EntryId id : Playable(s.list))
            if (!heard.contains(id))
                unheard.push_back(id);
        if (unheard.size() > 1) {
            const EntryId pick = unheard[random() % unheard.size()];
            s.order.Advance(s.current = pick);
            heard.insert(pick);
            // In album shuffle the rest of the picked album follows it.
            for (int i = s.list.FindRow(pick) + 1; albums && i < s.list.GetCount(); ++i) {
                const EntryId id = s.list.GetId(i);
                if (!s.list.IsUnreadable(i) && !heard.contains(id) &&
                    AlbumLabel(s.list, id) == AlbumLabel(s.list, pick)) {
                    EXPECT_EQ(s.order.PeekNextForEndOfTrack(pick), id);
                    break;
                }
            }
        }

        // The sounding entry goes too: the history before it stays.
        const EntryId prior = s.order.PeekPrevious(s.current);
        std::set<EntryId> deleted;
        for (EntryId id :
             {unheard.empty() ? 0 : unheard.back(), played.empty() ? 0 : played[0], s.current}) {
            if (id != 0 && s.list.FindRow(id) >= 0) {
                s.list.RemoveTrack(s.list.FindRow(id));
                deleted.insert(id);
                heard.erase(id);
            }
        }
        EXPECT_TRUE(deleted.contains(prior) || s.order.PeekPrevious(s.current) == prior);
        for (int i = 0; i < 2; ++i)
            AddEntry(s.list, static_cast<int>(random() % 5),
                     static_cast<int>(random() % static_cast<unsigned>(s.list.GetCount() + 1)));

        for (int guard = 0; guard < entries + 4; ++guard) {
            const EntryId next = s.order.PeekNextForEndOfTrack(s.current);
            EXPECT_FALSE(deleted.contains(next));
            EXPECT_FALSE(deleted.contains(s.order.PeekPrevious(s.current)));
            if (heard.contains(next))
                break; // the next round
            s.Step();
            heard.insert(next);
        }
        EXPECT_EQ(heard, Playable(s.list));
        // Repeat off and the other shuffle mode: a fresh round in which only
        // the sounding entry was heard, and nothing after it; then shuffle
        // off: the list order from the sounding entry.
        s.order.SetRepeat(RepeatMode::Off);
        s.order.SetShuffle(albums ? ShuffleMode::Tracks : ShuffleMode::Albums);
        std::set<EntryId> fresh;
        if (s.list.FindRow(s.current) >= 0)
            fresh.insert(s.current);
        for (EntryId id = s.current; (id = s.order.PeekNextForEndOfTrack(id)) != 0;) {
            ASSERT_TRUE(fresh.insert(id).second) << "heard twice";
            s.order.Advance(id);
        }
        EXPECT_EQ(fresh, Playable(s.list));
        s.order.SetShuffle(ShuffleMode::Off);
        const EntryId sounding = s.order.Sounding();
        EntryId after = 0;
        for (int row = s.list.GetCount() - 1; row > s.list.FindRow(sounding); --row)
            after = s.list.IsUnreadable(row) ? after : s.list.GetId(row);
        EXPECT_EQ(s.order.PeekNextForEndOfTrack(sounding), after);
    }
}

TEST(PlayOrder, WithoutShuffleTheListOrderIsFollowedAsItIsNow) {
    CTrackList list;
    std::vector<EntryId> id;
    for (int i = 0; i < 5; ++i) {
        AddEntry(list, 0);
        id.push_back(list.GetId(i));
    }
    CPlayOrder order(list, 1);

    EXPECT_EQ(order.PeekNextForEndOfTrack(0), id[0]);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[2]);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[4]), 0u);
    EXPECT_EQ(order.PeekPrevious(id[0]), 0u);
    EXPECT_EQ(order.PeekPrevious(id[2]), id[1]);

    order.SetRepeat(RepeatMode::All);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[4]), id[0]);
    EXPECT_EQ(order.PeekPrevious(id[0]), id[4]);

    order.SetRepeat(RepeatMode::Track);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[1]);
    EXPECT_EQ(order.PeekNextForUser(id[1]), id[2]);
    EXPECT_EQ(order.PeekNextForUser(id[4]), 0u);

    // Moved rows, deleted and unreadable entries show at the next question;
    // a deleted sounding entry goes on from where it was.
    order.SetRepeat(RepeatMode::Off);
    order.Advance(id[1]);
    list.MoveDown(1); // 0 2 1 3 4
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[3]);
    EXPECT_EQ(order.PeekPrevious(id[1]), id[2]);
    list.RemoveTrack(list.FindRow(id[1]));
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[3]);
    EXPECT_EQ(order.PeekPrevious(id[1]), id[2]);
    list.SetUnreadable(list.FindRow(id[4]));
    order.Advance(id[3]);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[3]), 0u);
    order.SetRepeat(RepeatMode::All);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[3]), id[0]);
    order.SetRepeat(RepeatMode::Track);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[4]), 0u) << "an unreadable entry is not repeated";
}

TEST(PlayOrder, AnEmptyListHasNothingToPlayInAnyMode) {
    for (ShuffleMode shuffle : {ShuffleMode::Off, ShuffleMode::Tracks, ShuffleMode::Albums}) {
        CTrackList list;
        CPlayOrder order(list, 3);
        order.SetShuffle(shuffle);
        for (RepeatMode repeat : {RepeatMode::Off, RepeatMode::Track, RepeatMode::All}) {
            order.SetRepeat(repeat);
            order.Advance(42);
            for (EntryId current : {0u, 42u})
                EXPECT_EQ(order.PeekNextForEndOfTrack(current) + order.PeekNextForUser(current) +
                              order.PeekPrevious(current) + order.Sounding(),
                          0u);
        }
    }
}

// Round trips: the app's stored-modes test. A hand-edited value may differ
// in letter case and blanks.
TEST(PlayOrder, DamagedModeTextReadsAsOff) {
    EXPECT_EQ(ParseRepeatMode(" All\n"), RepeatMode::All);
    EXPECT_EQ(ParseShuffleMode("ALBUMS"), ShuffleMode::Albums);
    // Each other's words too, and a word with a NUL behind it.
    const std::string_view repeats[] = {
        "", "al", "all all", "of f", "\xff", "tracks", std::string_view("all\0", 4)};
    for (std::string_view damaged : repeats)
        EXPECT_EQ(ParseRepeatMode(damaged), RepeatMode::Off) << damaged;
    for (const char* damaged : {"", "al", "albums albums", "\xff", "track"})
        EXPECT_EQ(ParseShuffleMode(damaged), ShuffleMode::Off) << damaged;
}

} // namespace
} // namespace tessel
