#include "controls/PlaylistView.h"
#include "core/AppMessages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QStandardItemModel>
#include <QUrl>

#include <vector>

namespace tessel {
namespace {

struct ListFixture : ::testing::Test {
    std::vector<AppMessage> posted;
    QStandardItemModel model{3, 2};
    CPlaylistView list;

    void SetUp() override {
        list.resize(400, 200);
        list.SetNotifyWindow([this](AppMessage id) { posted.push_back(id); });
    }
};

TEST_F(ListFixture, ADropOfFilesKeepsTheLocalOnesAndTellsTheWindowOnce) {
    list.setModel(&model);
    list.show();
    // Answers whether the drag was let in and dropped.
    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &enter);
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted())
            QApplication::sendEvent(list.viewport(), &event);
        return enter.isAccepted() && event.isAccepted();
    };
    ASSERT_TRUE(drop({QUrl::fromLocalFile("/music/a.mp3"), QUrl("https://example.com/x.mp3"),
                      QUrl::fromLocalFile("/music/b c.ogg"), QUrl::fromLocalFile("/music/d.wav")}));
    EXPECT_EQ(posted, (std::vector<AppMessage>{AppMessage::FilesDropped}));
    EXPECT_EQ(list.GetDropHandle(),
              (QStringList{"/music/a.mp3", "/music/b c.ogg", "/music/d.wav"}));

    // Nothing local to add: refused, and the last drop stays readable.
    EXPECT_FALSE(drop({QUrl("https://example.com/y.mp3")}));
    EXPECT_EQ(posted.size(), 1u);
    EXPECT_EQ(list.GetDropHandle().size(), 3);
}

TEST_F(ListFixture, FixedColumnsKeepTheirWidthsThroughAModelReset) {
    // Widths given before the model arrives take hold once it does.
    list.SetFixedColumnWidth(0, 200);
    list.SetFixedColumnWidth(1, 60);
    list.setModel(&model);
    list.show();
    // That Qt's header then refuses a dragged divider is Qt's business.
    QHeaderView* header = list.header();
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(header->sectionResizeMode(1), QHeaderView::Fixed);
    EXPECT_EQ(header->sectionSize(0), 200);
    EXPECT_EQ(header->sectionSize(1), 60);

    // A reset model keeps the widths, and the window can still change them.
    model.clear();
    model.setColumnCount(2);
    EXPECT_EQ(header->sectionSize(1), 60);
    list.SetFixedColumnWidth(0, 150);
    EXPECT_EQ(header->sectionSize(0), 150);
}

} // namespace
} // namespace tessel
