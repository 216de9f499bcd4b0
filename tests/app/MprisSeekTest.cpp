// Seek and SetPosition as the service carries them out, on a bus of the
// test's own, with the player's state and commands stood in for.
#include "app/MprisService.h"

#include <QProcess>
#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessel {
namespace {

using Commands = std::vector<std::pair<UserCommand, double>>;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

class MprisSeekTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(m_daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "seek"));
        service = CMprisService::Start(*m_bus, {[this] { return state; },
                                                [this](UserCommand command, double value) {
                                                    sent.emplace_back(command, value);
                                                },
                                                {}});
        ASSERT_NE(service, nullptr);
    }
    void TearDown() override {
        service.reset();
        m_bus.reset();
        QDBusConnection::disconnectFromBus("seek");
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    Commands Take() { return std::exchange(sent, {}); }
    QDBusObjectPath Id() const { return QDBusObjectPath(service->TrackId()); }

    MprisSnapshot state = [] {
        MprisSnapshot s;
        s.status = MprisStatus::Playing;
        s.path = "/a.wav";
        s.lengthSeconds = 60.0;
        s.positionSeconds = 10.0;
        s.canSeek = true;
        return s;
    }();
    Commands sent;
    std::unique_ptr<CMprisService> service;

  private:
    QProcess m_daemon;
    std::unique_ptr<QDBusConnection> m_bus;
};

TEST_F(MprisSeekTest, ASeekPastTheEndIsNextAndOneBeforeTheStartGoesToItsStart) {
    QSignalSpy seeked(service.get(), &CMprisService::Seeked);
    // (offset in µs, what the player is told)
    const std::pair<qlonglong, Commands> cases[] = {
        {2'500'000, {{UserCommand::SeekTo, 12.5}}},
        {-30'000'000, {{UserCommand::SeekTo, 0.0}}},
        {50'000'000, {{UserCommand::Next, 0.0}}},
        {51'000'000, {{UserCommand::Next, 0.0}}},
    };
    for (const auto& [offset, expected] : cases) {
        service->Seek(offset);
        EXPECT_EQ(Take(), expected) << offset;
    }
    EXPECT_EQ(seeked.count(), 2) << "the seeks within the track say where they went";
    state.canSeek = false;
    service->Seek(1'000'000);
    EXPECT_THAT(Take(), IsEmpty());
}

TEST_F(MprisSeekTest, SetPositionOutsideTheTrackOrForAnotherTrackIsIgnored) {
    for (const qlonglong outside : {qlonglong(-1), qlonglong(60'000'001), qlonglong(-60'000'000)})
        service->SetPosition(Id(), outside);
    service->SetPosition(QDBusObjectPath("/org/tessel/AudioPlayer/Track/999"), 5'000'000);
    EXPECT_THAT(Take(), IsEmpty());
    service->SetPosition(Id(), 5'000'000);
    service->SetPosition(Id(), 60'000'000);
    EXPECT_THAT(Take(),
                ElementsAre(Pair(UserCommand::SeekTo, 5.0), Pair(UserCommand::SeekTo, 60.0)));

    // The id of the track before is stale once the next one is current.
    const QDBusObjectPath before = Id();
    state.path = "/b.wav";
    service->Current();
    ASSERT_NE(Id(), before);
    service->SetPosition(before, 5'000'000);
    EXPECT_THAT(Take(), IsEmpty());
}

} // namespace
} // namespace tessel
