// The output device chooser: what it offers and in which order, what OK and
// Cancel do to the remembered choice.
#include "app/DeviceChooserDlg.h"
#include "settings/Settings.h"
#include "tests/support/qt/QtTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace tessel {
namespace {

const std::vector<std::string> kDevices = {"Desk Speakers", "Quad Card", "Quad Card (Front)",
                                           "Quad Card (Rear)"};

TEST(DeviceChooser, OffersTheSystemDefaultFirstThenTheDevicesAndSelectsTheCurrentOne) {
    const CDeviceChooserDlg byDefault(kDevices, "");
    QStringList entries;
    for (int i = 0; i < byDefault.Combo()->count(); ++i)
        entries << byDefault.Combo()->itemText(i);
    EXPECT_EQ(entries, QStringList({"System default", "Desk Speakers", "Quad Card",
                                    "Quad Card (Front)", "Quad Card (Rear)"}));
    EXPECT_EQ(byDefault.Selected(), "");
    EXPECT_EQ(CDeviceChooserDlg(kDevices, "Quad Card (Rear)").Selected(), "Quad Card (Rear)");
    // A remembered device that is unplugged now: the default is what plays.
    EXPECT_EQ(CDeviceChooserDlg(kDevices, "USB Headset").Selected(), "");
    // A device that happens to be called like the default entry is still
    // that device, not the default.
    const CDeviceChooserDlg namesake({"System default"}, "System default");
    EXPECT_EQ(namesake.Combo()->currentIndex(), 1);
    EXPECT_EQ(namesake.Selected(), "System default");
}

TEST(DeviceChooser, OkRemembersAndUsesTheChoiceCancelChangesNothing) {
    test::ScopedSettingsFolder folder;
    CSettings settings;
    settings.SetOutputDevice(QStringLiteral("Desk Speakers"));
    struct Case {
        const char* pick;
        bool ok;
        const char* used;
        const char* stored;
    };
    // The default is remembered as an empty description.
    for (const Case& c : {Case{"Quad Card", false, "untouched", "Desk Speakers"},
                          Case{"Quad Card (Front)", true, "Quad Card (Front)", "Quad Card (Front)"},
                          Case{"System default", true, "", ""}}) {
        // Run as the Devices button does; the answer comes once it is shown.
        QTimer::singleShot(0, [&c] {
            auto* chooser = qobject_cast<CDeviceChooserDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr) << "the chooser is not shown modally";
            chooser->Combo()->setCurrentIndex(chooser->Combo()->findText(c.pick));
            c.ok ? chooser->accept() : chooser->reject();
        });
        std::string used = "untouched";
        EXPECT_EQ(ChooseOutputDevice(nullptr, kDevices, settings.GetOutputDevice().toStdString(),
                                     settings, [&](const std::string& chosen) { used = chosen; }),
                  c.ok);
        EXPECT_EQ(used, c.used) << c.pick;
        EXPECT_EQ(settings.GetOutputDevice().toStdString(), c.stored) << c.pick;
    }
    EXPECT_TRUE(settings.ValueExists(QString::fromLatin1(CSettings::kOutputDevice)));
}

} // namespace
} // namespace tessel
