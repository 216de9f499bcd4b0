// The running player as MPRIS2 clients see it: through playerctl, and through
// QtDBus for what playerctl does not show (types, signals, errors).
#include "tests/app/PlayerProcess.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QUrl>

#include <cstdlib>
#include <filesystem>

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
        m_interfaces.clear();
        bus.reset();
        QDBusConnection::disconnectFromBus("mpris-test");
        PlayerProcessTest::TearDown();
    }

    // A client of the player on the bus, listening to its signals.
    void Connect() {
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(m_busAddress), "mpris-test"));
        ASSERT_TRUE(bus->isConnected());
        for (const char* interface : {kProperties, kPlayer})
            m_interfaces.push_back(std::make_unique<QDBusInterface>(kName, kPath, interface, *bus));
        changed = std::make_unique<QSignalSpy>(
            m_interfaces[0].get(), SIGNAL(PropertiesChanged(QString, QVariantMap, QStringList)));
        seeked = std::make_unique<QSignalSpy>(m_interfaces[1].get(), SIGNAL(Seeked(qlonglong)));
        ASSERT_TRUE(changed->isValid() && seeked->isValid());
    }
    QDBusMessage Call(const char* interface, const char* method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        call.setArguments(args);
        return bus->call(call);
    }
    QVariant Get(const char* interface, const char* name) {
        const QDBusMessage reply = Call(kProperties, "Get", {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << name;
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void Set(const char* property, const QVariant& value) {
        Call(kProperties, "Set", {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
    }
    qlonglong Position() { return Get(kPlayer, "Position").toLongLong(); }
    double Seconds() { return std::strtod(Playerctl("position").c_str(), nullptr); }

    // Until a PropertiesChanged of the Player carries `name` = `value`.
    bool Signalled(const QString& name, const std::function<bool(const QVariant&)>& matches) {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(
                    changed->begin(), changed->end(), [&](const QList<QVariant>& args) {
                        return args[0] == kPlayer && matches(args[1].toMap().value(name));
                    });
            },
            10000);
    }
    bool Signalled(const QString& name, const QVariant& value) {
        return Signalled(name, [&](const QVariant& v) { return v == value; });
    }
    bool SeekedTo(qlonglong microseconds) {
        return QTest::qWaitFor(
            [&] {
                return !seeked->isEmpty() &&
                       std::abs(seeked->last()[0].toLongLong() - microseconds) < 1000;
            },
            10000);
    }

    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<QSignalSpy> changed, seeked;

  private:
    std::vector<std::unique_ptr<QDBusInterface>> m_interfaces;
};

TEST_F(MprisTest, ClientsFollowAndDriveThePlayerAndSeeTypedPropertiesAndEveryChange) {
    // Three tracks on the command line; the first plays, the test steps to the last.
    const std::string b = Wav("b.wav", 8.0), c = Wav("c.wav", 8.0);
    QProcess& player = Launch({Wav("a.wav", 8.0), b, c});
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", "a.wav"));
    for (const char* title : {"b.wav", "c.wav"}) {
        ASSERT_EQ(Playerctl("next"), "");
        ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", title));
    }
    // Really playing, not just asked to start: the position moves.
    ASSERT_TRUE(WaitFor([&] { return Seconds() > 0.3; }, 10s));
    EXPECT_EQ(Playerctl("status"), "Playing");
    EXPECT_EQ(Playerctl("metadata mpris:length"), "8000000");
    EXPECT_EQ(Playerctl("play-pause"), "");
    EXPECT_TRUE(WaitForPlayerctl("status", "Paused"));
    EXPECT_EQ(Playerctl("play-pause"), "");
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_EQ(Playerctl("previous"), "");
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:title", "b.wav"));
    EXPECT_EQ(Playerctl("next"), "");
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:title", "c.wav"));
    // A pause before the new track has sounded leaves it stopped, not paused.
    ASSERT_TRUE(WaitFor([&] { return Playerctl("status") == "Playing" && Seconds() > 0.3; }, 10s));
    ASSERT_NO_FATAL_FAILURE(Connect());
    // Desktops find the player's window and icon by its desktop entry's name.
    EXPECT_EQ(Get(kRoot, "DesktopEntry").toString(), "tessel-audio-player");
    const QVariantMap metadata = qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata"));
    ASSERT_EQ(metadata.value("mpris:trackid").metaType(), QMetaType::fromType<QDBusObjectPath>());
    const QString trackId = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_EQ(metadata.value("mpris:length").metaType(), QMetaType::fromType<qlonglong>());
    EXPECT_EQ(metadata.value("xesam:url").toString().toStdString(), "file://" + c);
    EXPECT_EQ(Get(kPlayer, "Position").metaType(), QMetaType::fromType<qlonglong>());
    EXPECT_TRUE(Get(kPlayer, "CanGoPrevious").toBool());
    EXPECT_FALSE(Get(kPlayer, "CanGoNext").toBool());

    EXPECT_EQ(Call(kPlayer, "Pause").type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Signalled("PlaybackStatus", "Paused"));
    Set("Volume", 0.25);
    EXPECT_TRUE(Signalled("Volume", 0.25));
    EXPECT_EQ(Playerctl("volume"), "0.250000");

    // Paused, a seek moves the position by exactly the offset (the edges are
    // MprisSeekTest's).
    const qlonglong before = Position();
    Call(kPlayer, "Seek", {qlonglong(2'000'000)});
    EXPECT_TRUE(SeekedTo(before + 2'000'000));
    Call(kPlayer, "SetPosition",
         {QVariant::fromValue(QDBusObjectPath(trackId)), qlonglong(1'000'000)});
    EXPECT_TRUE(SeekedTo(1'000'000));

    // Only local files that exist open; one that does, while paused, plays.
    EXPECT_EQ(Call(kPlayer, "OpenUri", {"http://example.com/a.mp3"}).errorName(),
              "org.freedesktop.DBus.Error.NotSupported");
    EXPECT_EQ(Call(kPlayer, "OpenUri", {"file:///no/such/file.wav"}).type(),
              QDBusMessage::ErrorMessage);
    const QString d = QString::fromStdString("file://" + Wav("d.wav", 8.0));
    EXPECT_EQ(Call(kPlayer, "OpenUri", {d}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Signalled("PlaybackStatus", "Playing"));
    EXPECT_TRUE(Signalled("Metadata", [&](const QVariant& v) {
        return qdbus_cast<QVariantMap>(v).value("xesam:url").toString() == d;
    })) << "no PropertiesChanged carried the opened track";

    EXPECT_EQ(Call(kRoot, "Raise").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Call(kRoot, "Quit").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(WaitForExit(player, 15s), 0);
}

TEST_F(MprisTest, LoopAndShuffleAreReadAndSetAndNextFollowsTheOrderAndOpenUriPlaysAtOnce) {
    const std::string a = Wav("a.wav", 30.0);
    Launch({a, Wav("b.wav", 30.0)});
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", "a.wav"));
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(Playerctl("loop"), "None");
    EXPECT_EQ(Playerctl("shuffle"), "Off");
    EXPECT_TRUE(Get(kPlayer, "CanGoNext").toBool());
    EXPECT_FALSE(Get(kPlayer, "CanGoPrevious").toBool());
    ASSERT_EQ(Playerctl("next"), "");
    ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", "b.wav"));
    EXPECT_TRUE(Signalled("CanGoNext", false));

    // Each set is read back and signalled; repeat all makes the last entry
    // one Next can leave, and the first one Previous can.
    const std::pair<const char*, QVariant> sets[] = {
        {"LoopStatus", "Playlist"}, {"Shuffle", true},       {"LoopStatus", "None"},
        {"Shuffle", false},         {"LoopStatus", "Track"},
    };
    for (const auto& [property, value] : sets) {
        changed->clear();
        Set(property, value);
        EXPECT_TRUE(Signalled(property, value)) << property;
        EXPECT_EQ(Get(kPlayer, property), value) << property;
        if (value == QVariant("Playlist")) {
            EXPECT_TRUE(Get(kPlayer, "CanGoNext").toBool());
        }
    }
    Set("LoopStatus", "Sometimes");
    EXPECT_EQ(Get(kPlayer, "LoopStatus").toString(), "Track")
        << "an unknown status changes nothing";

    // "Open this" is heard, even while another track plays.
    ASSERT_TRUE(WaitForPlayerctl("status", "Playing"));
    const QString c = QString::fromStdString("file://" + Wav("c.wav", 30.0));
    EXPECT_EQ(Call(kPlayer, "OpenUri", {c}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:title", "c.wav"));
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_TRUE(Get(kRoot, "CanRaise").toBool());
}

std::string LocalFile(const QVariant& url) {
    return QUrl(url.toString()).toLocalFile().toStdString();
}

TEST_F(MprisTest, TaggedTracksSendEveryFieldTypedAndAHandOverReplacesThemAndTheCover) {
    const std::string first = test::TaggedFlac(
        m_dir.Path(), "first", 1.5, 44100, "red",
        "-metadata title=Halo -metadata artist=Beyonc\xc3\xa9 -metadata 'album=I Am' "
        "-metadata track=3/11 -metadata genre=Pop");
    // Tagged sparsely: what it does not say is left out, not sent empty.
    const std::string second =
        test::TaggedFlac(m_dir.Path(), "second", 30.0, 44100, "blue", "-metadata artist=Other");
    Launch({first, second});
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_NO_FATAL_FAILURE(Connect());
    QVariantMap m;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            m = qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata"));
            return m.contains("xesam:artist") && m.contains("mpris:artUrl");
        },
        10000))
        << "the first track's tags and cover never arrived";
    const QString firstId = m.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstId.startsWith("/org/tessel/AudioPlayer/Track/")) << firstId.toStdString();
    // Each value as typed on the bus (a QVariant's own type).
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QVariant>>{
             {"mpris:length", qlonglong(1'500'000)},
             {"xesam:title", "Halo"},
             {"xesam:artist", QStringList{QString::fromUtf8("Beyonc\xc3\xa9")}},
             {"xesam:album", "I Am"},
             {"xesam:trackNumber", 3},
             {"xesam:url", QUrl::fromLocalFile(QString::fromStdString(first)).toString()}}) {
        EXPECT_EQ(m.value(key).metaType(), value.metaType()) << key;
        EXPECT_EQ(m.value(key), value) << key;
    }
    const std::string firstCover = LocalFile(m.value("mpris:artUrl"));
    EXPECT_FALSE(test::ReadBytes(firstCover).empty()) << firstCover;
    EXPECT_EQ(Playerctl("metadata xesam:artist"), "Beyonc\xc3\xa9");

    // The first track plays out into the second: its metadata, under a new
    // id, with its own cover; the first cover's file goes.
    ASSERT_TRUE(Signalled("Metadata", [&](const QVariant& v) {
        const QVariantMap next = qdbus_cast<QVariantMap>(v);
        return next.value("xesam:artist") == QStringList{"Other"} && next.contains("mpris:artUrl");
    })) << "no PropertiesChanged carried the second track with its cover";
    m = qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata"));
    EXPECT_NE(m.value("mpris:trackid").value<QDBusObjectPath>().path(), firstId);
    EXPECT_EQ(m.value("xesam:title").toString(), "second.flac");
    for (const char* absent : {"xesam:album", "xesam:genre", "xesam:trackNumber"})
        EXPECT_FALSE(m.contains(absent)) << absent;
    const std::string secondCover = LocalFile(m.value("mpris:artUrl"));
    EXPECT_NE(secondCover, firstCover);
    EXPECT_TRUE(std::filesystem::exists(secondCover));
    EXPECT_FALSE(std::filesystem::exists(firstCover));

    EXPECT_EQ(Call(kRoot, "Quit").type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists(secondCover); }, 15s))
        << "the cover outlived the player";
}

} // namespace
} // namespace tessel
