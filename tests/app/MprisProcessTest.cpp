// The running player as MPRIS2 clients see it: what goes over the bus keeps
// its D-Bus types, every change is signalled, and commands from playerctl and
// QtDBus reach the player, seeks at the edges of the track too. The rules
// behind the values are MprisStateTest's.
#include "tests/app/PlayerProcess.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QUrl>

namespace tessel {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "org.mpris.MediaPlayer2.tessel";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

class MprisTest : public test::PlayerProcessTest {
  protected:
    void TearDown() override {
        changed.reset();
        seeked.reset();
        properties.reset();
        player.reset();
        bus.reset();
        QDBusConnection::disconnectFromBus("mpris-test");
        PlayerProcessTest::TearDown();
    }

    // A client of the player on the bus, listening to its signals.
    void Connect() {
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(m_busAddress), "mpris-test"));
        ASSERT_TRUE(bus->isConnected());
        properties = std::make_unique<QDBusInterface>(kName, kPath, kProperties, *bus);
        player = std::make_unique<QDBusInterface>(kName, kPath, kPlayer, *bus);
        changed = std::make_unique<QSignalSpy>(
            properties.get(), SIGNAL(PropertiesChanged(QString, QVariantMap, QStringList)));
        seeked = std::make_unique<QSignalSpy>(player.get(), SIGNAL(Seeked(qlonglong)));
        ASSERT_TRUE(changed->isValid() && seeked->isValid());
    }
    QDBusMessage Call(const char* interface, const char* method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        call.setArguments(args);
        return bus->call(call);
    }
    QVariant Get(const char* name, const char* interface = kPlayer) {
        const QDBusMessage reply = Call(kProperties, "Get", {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << name;
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void Set(const char* property, const QVariant& value) {
        Call(kProperties, "Set", {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
    }
    QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get("Metadata")); }

    // Until a PropertiesChanged of the Player carries `name` as `matches` asks.
    bool Signalled(const QString& name, const std::function<bool(const QVariant&)>& matches) {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(changed->begin(), changed->end(), [&](const QList<QVariant>& a) {
                    return a[0] == kPlayer && a[1].toMap().contains(name) &&
                           matches(a[1].toMap().value(name));
                });
            },
            10000);
    }
    bool Signalled(const QString& name, const QVariant& value) {
        return Signalled(name, [&](const QVariant& v) { return v == value; });
    }

    bool SeekedTo(qlonglong microseconds) {
        return QTest::qWaitFor([&] {
            return !seeked->isEmpty() &&
                   std::abs(seeked->last()[0].toLongLong() - microseconds) < 1000;
        });
    }

    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<QDBusInterface> properties, player;
    std::unique_ptr<QSignalSpy> changed, seeked;
};

TEST_F(MprisTest, ClientsSeeTypedTrackDataAndEveryChangeAndTheirCommandsReachThePlayer) {
    const std::string tagged = test::TaggedFlac(
        m_dir.Path(), "tagged", 30.0, 44100, "red",
        "-metadata title=Halo -metadata artist=Beyonc\xc3\xa9 -metadata track=3/11");
    QProcess& process = Launch({tagged, Wav("c.wav", 30.0)});
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_NO_FATAL_FAILURE(Connect());
    QVariantMap m;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (m = Metadata()).contains("xesam:artist") && m.contains("mpris:artUrl"); },
        10000))
        << "the track's tags and cover never arrived";
    // Each value as typed on the bus (a QVariant's own type).
    ASSERT_EQ(m.value("mpris:trackid").metaType(), QMetaType::fromType<QDBusObjectPath>());
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QVariant>>{
             {"mpris:length", qlonglong(30'000'000)},
             {"xesam:artist", QStringList{QString::fromUtf8("Beyonc\xc3\xa9")}},
             {"xesam:trackNumber", 3}}) {
        EXPECT_EQ(m.value(key).metaType(), value.metaType()) << key;
        EXPECT_EQ(m.value(key), value) << key;
    }
    // Desktops find the player's window and icon by its desktop entry's name.
    EXPECT_EQ(Get("DesktopEntry", kRoot).toString(), "tessel-audio-player");

    // A pause before the track has sounded leaves it stopped, not paused.
    ASSERT_TRUE(WaitFor([&] { return Playerctl("status") == "Playing" && Seconds() > 0.3; }, 10s));
    EXPECT_EQ(Playerctl("pause"), "");
    EXPECT_TRUE(Signalled("PlaybackStatus", "Paused"));
    Set("Volume", 0.25);
    EXPECT_TRUE(Signalled("Volume", 0.25));
    // Paused, a seek moves the position by exactly the offset, and one before
    // the start goes to it; a position outside the track is ignored.
    const qlonglong before = Get("Position").toLongLong();
    Call(kPlayer, "Seek", {qlonglong(2'000'000)});
    EXPECT_TRUE(SeekedTo(before + 2'000'000));
    Call(kPlayer, "Seek", {qlonglong(-100'000'000)});
    EXPECT_TRUE(SeekedTo(0));
    const QVariant id = m.value("mpris:trackid");
    const auto positionAfterAMoment = [&] {
        QTest::qWait(300);
        return Get("Position").toLongLong();
    };
    Call(kPlayer, "SetPosition", {id, qlonglong(5'000'000)});
    EXPECT_TRUE(SeekedTo(5'000'000));
    for (const qlonglong at : {qlonglong(-1'000'000), qlonglong(30'000'001)})
        Call(kPlayer, "SetPosition", {id, at});
    EXPECT_NEAR(positionAfterAMoment(), 5'000'000, 1000) << "a position outside the track";
    // Past the end is the next track, where the last one's id is stale.
    Call(kPlayer, "Seek", {qlonglong(100'000'000)});
    ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", "c.wav"));
    Call(kPlayer, "SetPosition", {id, qlonglong(20'000'000)});
    EXPECT_LT(positionAfterAMoment(), 10'000'000) << "a position for another track";
    Call(kPlayer, "SetPosition", {Metadata().value("mpris:trackid"), qlonglong(7'000'000)});
    EXPECT_TRUE(SeekedTo(7'000'000));

    // On the last entry there is no next one until the list repeats.
    EXPECT_FALSE(Get("CanGoNext").toBool());
    EXPECT_TRUE(Get("CanGoPrevious").toBool());
    changed->clear();
    Set("LoopStatus", "Playlist");
    EXPECT_TRUE(Signalled("LoopStatus", "Playlist"));
    EXPECT_TRUE(Signalled("CanGoNext", true));
    Set("LoopStatus", "Sometimes");
    EXPECT_EQ(Get("LoopStatus").toString(), "Playlist") << "an unknown status changes nothing";
    Set("Shuffle", true);
    EXPECT_TRUE(Signalled("Shuffle", true));

    // Only local files that exist open; one that does plays at once, even
    // while another plays.
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_EQ(Call(kPlayer, "OpenUri", {"http://example.com/a.mp3"}).errorName(),
              "org.freedesktop.DBus.Error.NotSupported");
    EXPECT_EQ(Call(kPlayer, "OpenUri", {"file:///no/such/file.wav"}).type(),
              QDBusMessage::ErrorMessage);
    const QString url = QUrl::fromLocalFile(QString::fromStdString(tagged)).toString();
    changed->clear();
    EXPECT_EQ(Call(kPlayer, "OpenUri", {url}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Signalled("Metadata", [&](const QVariant& v) {
        return qdbus_cast<QVariantMap>(v).value("xesam:url") == url;
    })) << "no PropertiesChanged carried the opened track";
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));

    EXPECT_EQ(Call(kRoot, "Raise").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Call(kRoot, "Quit").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(WaitForExit(process, 15s), 0);
}

} // namespace
} // namespace tessel
