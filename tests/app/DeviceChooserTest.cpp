// The output device chooser on Qt's offscreen platform: what it offers and
// in which order, what OK and Cancel do to the remembered choice.
#include "app/DeviceChooserDlg.h"
#include "settings/Settings.h"
#include "tests/app/QtTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace tessel {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kDevices = {"Desk Speakers", "Quad Card", "Quad Card (Front)",
                                           "Quad Card (Rear)"};

std::vector<std::string> Entries(const CDeviceChooserDlg& chooser) {
    std::vector<std::string> entries;
    for (int i = 0; i < chooser.Combo()->count(); ++i)
        entries.push_back(chooser.Combo()->itemText(i).toStdString());
    return entries;
}

// Runs the chooser as the Devices button does; `act` sees it once shown.
bool RunChooser(const std::string& current, const CSettings& settings,
                const std::function<void(CDeviceChooserDlg&)>& act, std::string* used) {
    QTimer::singleShot(0, [act] {
        auto* chooser = qobject_cast<CDeviceChooserDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr) << "the chooser is not shown modally";
        act(*chooser);
    });
    return ChooseOutputDevice(nullptr, kDevices, current, settings,
                              [used](const std::string& chosen) { *used = chosen; });
}

TEST(DeviceChooser, OffersTheSystemDefaultFirstThenTheDevicesAndSelectsTheCurrentOne) {
    const CDeviceChooserDlg byDefault(kDevices, "");
    std::vector<std::string> expected = {"System default"};
    expected.insert(expected.end(), kDevices.begin(), kDevices.end());
    EXPECT_EQ(Entries(byDefault), expected);
    EXPECT_EQ(byDefault.Combo()->currentIndex(), 0);
    EXPECT_EQ(byDefault.Selected(), "");

    const CDeviceChooserDlg onRear(kDevices, "Quad Card (Rear)");
    EXPECT_EQ(onRear.Combo()->currentText().toStdString(), "Quad Card (Rear)");
    EXPECT_EQ(onRear.Selected(), "Quad Card (Rear)");

    // A remembered device that is unplugged now: the default is what plays.
    const CDeviceChooserDlg gone(kDevices, "USB Headset");
    EXPECT_EQ(gone.Selected(), "");
    // A device that happens to be called like the default entry is still
    // that device, not the default.
    const CDeviceChooserDlg namesake({"System default"}, "System default");
    EXPECT_EQ(namesake.Combo()->count(), 2);
    EXPECT_EQ(namesake.Combo()->currentIndex(), 1);
    EXPECT_EQ(namesake.Selected(), "System default");
}

TEST(DeviceChooser, OkRemembersAndUsesTheChoiceCancelChangesNothing) {
    test::ScopedSettingsFolder folder;
    CSettings settings;
    settings.SetOutputDevice(QStringLiteral("Desk Speakers"));
    const auto pick = [](const std::string& entry) {
        return [entry](CDeviceChooserDlg& chooser) {
            chooser.Combo()->setCurrentIndex(
                chooser.Combo()->findText(QString::fromStdString(entry)));
        };
    };

    std::string used = "untouched";
    EXPECT_FALSE(RunChooser(
        "Desk Speakers", settings,
        [&](CDeviceChooserDlg& chooser) {
            pick("Quad Card")(chooser);
            chooser.reject();
        },
        &used));
    EXPECT_EQ(used, "untouched");
    EXPECT_EQ(settings.GetOutputDevice().toStdString(), "Desk Speakers");

    EXPECT_TRUE(RunChooser(
        "Desk Speakers", settings,
        [&](CDeviceChooserDlg& chooser) {
            pick("Quad Card (Front)")(chooser);
            chooser.accept();
        },
        &used));
    EXPECT_EQ(used, "Quad Card (Front)");
    EXPECT_EQ(settings.GetOutputDevice().toStdString(), "Quad Card (Front)");

    // The default is remembered as an empty description.
    EXPECT_TRUE(RunChooser(
        "Quad Card (Front)", settings,
        [&](CDeviceChooserDlg& chooser) {
            pick("System default")(chooser);
            chooser.accept();
        },
        &used));
    EXPECT_EQ(used, "");
    EXPECT_TRUE(settings.ValueExists(QString::fromLatin1(CSettings::kOutputDevice)));
    EXPECT_EQ(settings.GetOutputDevice(), QString());
}

} // namespace
} // namespace tessel
