#include "playlist/PlayOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
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

std::vector<EntryId> Ids(const CTrackList& list) {
    std::vector<EntryId> ids;
    for (int i = 0; i < list.GetCount(); ++i)
        ids.push_back(list.GetId(i));
    return ids;
}

// Each album's entries in one run, in list order.
void ExpectAlbumsWhole(const CTrackList& list, const std::vector<EntryId>& sequence) {
    std::set<std::string> finished;
    std::optional<std::string> open;
    int lastRow = -1;
    for (EntryId id : sequence) {
        const std::string label = AlbumLabel(list, id);
        if (label != open) {
            EXPECT_FALSE(finished.contains(label)) << label << " comes back later in the round";
            if (open)
                finished.insert(*open);
            open = label;
            lastRow = -1;
        }
        EXPECT_GT(list.FindRow(id), lastRow) << label << " out of list order";
        lastRow = list.FindRow(id);
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
        order.Advance(next);
        current = next;
        return next;
    }

    std::vector<EntryId> Round() {
        std::vector<EntryId> played;
        for (size_t i = 0; i < Playable(list).size(); ++i)
            played.push_back(Step());
        return played;
    }
};

struct Case {
    int entries;
    uint32_t seed;
    ShuffleMode mode;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (ShuffleMode mode : {ShuffleMode::Tracks, ShuffleMode::Albums})
        for (int entries : {1, 2, 3, 6, 13, 40})
            for (uint32_t seed = 1; seed <= 6; ++seed)
                cases.push_back({entries, seed * 7919u + static_cast<uint32_t>(entries), mode});
    return cases;
}

// The rules shuffle keeps whatever the list and the seed: a round plays every
// playable entry once, a new round does not open with what was just heard,
// albums play whole and in list order, Previous retraces the history and Next
// then retraces it forward, a picked row is not heard twice, added entries
// are heard in the round they join, deleted ones never again.
TEST(PlayOrder, ShuffleRulesHoldForGeneratedListsAndSeeds) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(testing::Message() << c.entries << " entries, seed " << c.seed << ", "
                                        << ShuffleModeText(c.mode));
        Session s(c.entries, c.seed, c.mode);
        const bool albums = c.mode == ShuffleMode::Albums;

        std::vector<EntryId> previousRound;
        for (int round = 0; round < 2; ++round) {
            const std::vector<EntryId> played = s.Round();
            EXPECT_EQ(std::set(played.begin(), played.end()), Playable(s.list));
            if (albums)
                ExpectAlbumsWhole(s.list, played);
            if (!previousRound.empty() && played.size() > 1) {
                EXPECT_NE(played.front(), previousRound.back());
                std::set<std::string> labels;
                for (EntryId id : played)
                    labels.insert(AlbumLabel(s.list, id));
                if (albums && labels.size() > 1) {
                    EXPECT_NE(AlbumLabel(s.list, played.front()),
                              AlbumLabel(s.list, previousRound.back()));
                }
            }
            previousRound = played;
        }

        // The same seed and calls give the same order.
        Session again(c.entries, c.seed, c.mode);
        again.Round();
        EXPECT_EQ(again.Round(), previousRound);

        // A disturbed third round.
        std::mt19937 random(c.seed);
        std::vector<EntryId> played;
        const size_t half = Playable(s.list).size() / 2;
        for (size_t i = 0; i < half; ++i)
            played.push_back(s.Step());

        const size_t back = std::min<size_t>(2, played.size() > 0 ? played.size() - 1 : 0);
        for (size_t i = 1; i <= back; ++i) {
            const EntryId before = played[played.size() - 1 - i];
            EXPECT_EQ(s.order.PeekPrevious(s.current), before);
            s.order.StepBack(before);
            s.current = before;
        }
        if (!played.empty() && back + 1 == played.size()) {
            EXPECT_EQ(s.order.PeekPrevious(s.current), previousRound.back())
                << "the history reaches into the round before";
        }
        for (size_t i = back; i-- > 0;) {
            const EntryId after = played[played.size() - 1 - i];
            EXPECT_EQ(s.order.PeekNextForUser(s.current), after);
            s.order.Advance(after);
            s.current = after;
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
            s.order.Advance(pick);
            s.current = pick;
            heard.insert(pick);
            if (albums) {
                // The rest of the picked album follows it.
                const int row = s.list.FindRow(pick);
                for (int i = row + 1; i < s.list.GetCount(); ++i) {
                    const EntryId id = s.list.GetId(i);
                    if (!s.list.IsUnreadable(i) && !heard.contains(id) &&
                        AlbumLabel(s.list, id) == AlbumLabel(s.list, pick)) {
                        EXPECT_EQ(s.order.PeekNextForEndOfTrack(pick), id);
                        break;
                    }
                }
            }
        }

        std::set<EntryId> deleted;
        for (EntryId id : {unheard.empty() ? 0 : unheard.back(), played.empty() ? 0 : played[0]}) {
            if (id != 0 && id != s.current && s.list.FindRow(id) >= 0) {
                s.list.RemoveTrack(s.list.FindRow(id));
                deleted.insert(id);
                heard.erase(id);
            }
        }
        for (int i = 0; i < 2; ++i)
            AddEntry(s.list, static_cast<int>(random() % 5),
                     static_cast<int>(random() % static_cast<unsigned>(s.list.GetCount() + 1)));

        for (int guard = 0; guard < c.entries + 4; ++guard) {
            const EntryId next = s.order.PeekNextForEndOfTrack(s.current);
            EXPECT_FALSE(deleted.contains(next));
            EXPECT_FALSE(deleted.contains(s.order.PeekPrevious(s.current)));
            if (heard.contains(next))
                break; // the next round
            s.Step();
            heard.insert(next);
        }
        EXPECT_EQ(heard, Playable(s.list));
        // Repeat off now: the round is over, nothing follows.
        s.order.SetRepeat(RepeatMode::Off);
        EXPECT_EQ(s.order.PeekNextForEndOfTrack(s.current), 0u);
    }
}

TEST(PlayOrder, WithoutShuffleTheListOrderIsFollowedAsItIsNow) {
    CTrackList list;
    for (int i = 0; i < 4; ++i)
        AddEntry(list, 0);
    const std::vector<EntryId> id = Ids(list);
    CPlayOrder order(list, 1);

    EXPECT_EQ(order.PeekNextForEndOfTrack(0), id[0]);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[2]);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[3]), 0u);
    EXPECT_EQ(order.PeekPrevious(id[0]), 0u);
    EXPECT_EQ(order.PeekPrevious(id[2]), id[1]);

    order.SetRepeat(RepeatMode::All);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[3]), id[0]);
    EXPECT_EQ(order.PeekPrevious(id[0]), id[3]);

    order.SetRepeat(RepeatMode::Track);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[1]);
    EXPECT_EQ(order.PeekNextForUser(id[1]), id[2]);
    EXPECT_EQ(order.PeekNextForUser(id[3]), 0u);

    // Moved rows and unreadable entries show at the next question.
    order.SetRepeat(RepeatMode::Off);
    order.Advance(id[1]);
    list.MoveDown(1); // 0 2 1 3
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), id[3]);
    EXPECT_EQ(order.PeekPrevious(id[1]), id[2]);
    list.SetUnreadable(list.FindRow(id[3]));
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[1]), 0u);
    order.SetRepeat(RepeatMode::Track);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[3]), 0u) << "an unreadable entry is not repeated";
}

// An empty list has nothing to play in any mode; an entry added to it plays
// once, and over and over only under repeat all.
TEST(PlayOrder, AnEmptyListHasNothingToPlayAndOneEntryRepeatsOnlyUnderRepeatAll) {
    for (ShuffleMode shuffle : {ShuffleMode::Off, ShuffleMode::Tracks, ShuffleMode::Albums}) {
        CTrackList list;
        CPlayOrder order(list, 3);
        order.SetShuffle(shuffle);
        for (RepeatMode repeat : {RepeatMode::Off, RepeatMode::Track, RepeatMode::All}) {
            order.SetRepeat(repeat);
            order.Advance(0);
            order.Advance(42);
            for (EntryId current : {0u, 42u}) {
                EXPECT_EQ(order.PeekNextForEndOfTrack(current), 0u);
                EXPECT_EQ(order.PeekNextForUser(current), 0u);
                EXPECT_EQ(order.PeekPrevious(current), 0u);
            }
        }
        EXPECT_EQ(order.Sounding(), 0u);

        order.SetRepeat(RepeatMode::Off);
        AddEntry(list, 0);
        const EntryId only = list.GetId(0);
        EXPECT_EQ(order.PeekNextForEndOfTrack(0), only);
        order.Advance(only);
        EXPECT_EQ(order.PeekNextForEndOfTrack(only), 0u);
        EXPECT_EQ(order.PeekPrevious(only), 0u);
        order.SetRepeat(RepeatMode::All);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(order.PeekNextForEndOfTrack(only), only);
            order.Advance(only);
        }
    }
}

TEST(PlayOrder, DeletingTheSoundingEntryGoesOnFromWhereItWas) {
    CTrackList list;
    for (int i = 0; i < 5; ++i)
        AddEntry(list, i % 2);
    const std::vector<EntryId> id = Ids(list);
    CPlayOrder order(list, 9);

    order.Advance(id[2]);
    list.RemoveTrack(2);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[2]), id[3]);
    EXPECT_EQ(order.PeekPrevious(id[2]), id[1]);
    order.Advance(id[4]);
    list.RemoveTrack(list.FindRow(id[4]));
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[4]), 0u);
    order.SetRepeat(RepeatMode::All);
    EXPECT_EQ(order.PeekNextForEndOfTrack(id[4]), id[0]);

    for (ShuffleMode shuffle : {ShuffleMode::Tracks, ShuffleMode::Albums}) {
        const EntryId before = order.Sounding();
        order.SetShuffle(shuffle);
        order.SetRepeat(RepeatMode::Off);
        std::set<EntryId> heard;
        if (list.FindRow(before) >= 0)
            heard.insert(before);
        const EntryId first = order.PeekNextForUser(before);
        order.Advance(first);
        heard.insert(first);
        const EntryId second = order.PeekNextForUser(first);
        order.Advance(second);
        list.RemoveTrack(list.FindRow(second));
        EXPECT_EQ(order.PeekPrevious(second), first);
        for (EntryId current = second; (current = order.PeekNextForEndOfTrack(current)) != 0;) {
            ASSERT_TRUE(heard.insert(current).second) << "heard twice";
            ASSERT_GE(list.FindRow(current), 0);
            order.Advance(current);
        }
        EXPECT_EQ(heard, Playable(list));
        AddEntry(list, 0); // enough unheard entries for the next pass
        AddEntry(list, 1);
    }
}

TEST(PlayOrder, ChangingModesMidRoundTakesEffectAtTheNextQuestion) {
    CTrackList list;
    for (int i = 0; i < 8; ++i)
        AddEntry(list, i / 3);
    const std::vector<EntryId> id = Ids(list);
    CPlayOrder order(list, 11);
    order.Advance(id[0]);
    order.Advance(id[1]);

    // Shuffle on: a fresh round in which only the sounding entry was heard.
    order.SetShuffle(ShuffleMode::Tracks);
    std::set<EntryId> heard{id[1]};
    for (EntryId current = id[1]; (current = order.PeekNextForEndOfTrack(current)) != 0;) {
        ASSERT_TRUE(heard.insert(current).second);
        order.Advance(current);
        if (heard.size() == 4 && order.Shuffle() == ShuffleMode::Tracks) {
            order.SetShuffle(ShuffleMode::Albums); // again fresh: all but this one unheard
            heard = {current};
        }
    }
    EXPECT_EQ(heard, Playable(list));

    // Shuffle off: the list order from the sounding entry.
    const EntryId sounding = order.Sounding();
    order.SetShuffle(ShuffleMode::Off);
    const int row = list.FindRow(sounding);
    EXPECT_EQ(order.PeekNextForEndOfTrack(sounding), row + 1 < 8 ? id[row + 1] : 0u);
    order.SetRepeat(RepeatMode::Track);
    EXPECT_EQ(order.PeekNextForEndOfTrack(sounding), sounding);
}

TEST(PlayOrder, ModesReadBackAsWrittenAndDamagedTextReadsAsOff) {
    for (RepeatMode mode : {RepeatMode::Off, RepeatMode::Track, RepeatMode::All})
        EXPECT_EQ(ParseRepeatMode(RepeatModeText(mode)), mode);
    for (ShuffleMode mode : {ShuffleMode::Off, ShuffleMode::Tracks, ShuffleMode::Albums})
        EXPECT_EQ(ParseShuffleMode(ShuffleModeText(mode)), mode);
    EXPECT_EQ(ParseRepeatMode(" All\n"), RepeatMode::All);
    EXPECT_EQ(ParseShuffleMode("ALBUMS"), ShuffleMode::Albums);
    for (const char* damaged : {"", "al", "all all", "of f", "1", "\xff"}) {
        EXPECT_EQ(ParseRepeatMode(damaged), RepeatMode::Off) << damaged;
        EXPECT_EQ(ParseShuffleMode(damaged), ShuffleMode::Off) << damaged;
    }
    // Each other's words, and a word with a NUL behind it.
    EXPECT_EQ(ParseRepeatMode("tracks"), RepeatMode::Off);
    EXPECT_EQ(ParseShuffleMode("track"), ShuffleMode::Off);
    EXPECT_EQ(ParseRepeatMode(std::string_view("all\0", 4)), RepeatMode::Off);
}

} // namespace
} // namespace tessel
