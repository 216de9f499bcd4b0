// The Track Info dialog (the play list rows' context menu, Ctrl+I for the
// loaded track): the cover, every tag, and what the file is made of, with
// its path as text to select and copy. What the play list knows shows at
// once; the file is read on a worker (its headers, its cover) and the rest
// follows when it answers.
//
// Threads: GUI thread. Its reads run on its own worker; their answers come
// back as queued calls, and one for a track the dialog no longer shows is
// dropped.
#pragma once

#include "core/ReplayGainValues.h"
#include "core/TrackTags.h"
#include "decode/LatestJobThread.h"
#include "decode/StreamDetails.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <string>
#include <vector>

class QFormLayout;
class QLabel;

namespace tessel {

// What the play list knows of the row to show.
struct TrackInfoRequest {
    std::string path; // UTF-8
    std::string title;
    TrackTags tags;
    double rowLength = -1.0;    // seconds; -1.0 unknown
    bool partOfFile = false;    // a CUE sheet's track or a chapter: the row's length counts
    ReplayGainValues sheetGain; // a sheet's REM values, which win over the file's
};

// One line of the dialog: its label, the name of its value label, and the
// value ("" when unknown: the line is left out).
struct TrackInfoLine {
    QString label;
    QString name;
    QString value;
};

// The lines for a row, the file's details merged in (details.readable false
// while they are still being read): the list's tags first, the file's where
// the list has none; the row's length for a part of a file.
std::vector<TrackInfoLine> TrackInfoLines(const TrackInfoRequest& request,
                                          const StreamDetails& details);

class CTrackInfoDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kPictureSize = 240;

    explicit CTrackInfoDialog(QWidget* parent);
    ~CTrackInfoDialog() override;

    // Shows the row at once and reads its file on the worker.
    void Show(const TrackInfoRequest& request);

    // The value shown on the line named `name`; "" when it is not shown.
    QString Value(const QString& name) const;
    bool HasPicture() const;
    // The details and the cover have arrived for the row shown last.
    bool IsComplete() const { return m_complete; }

  private:
    struct Answer {
        StreamDetails details;
        QImage picture;
    };
    void Fill(const StreamDetails& details);
    void OnAnswer(uint64_t number, const Answer& answer);

    TrackInfoRequest m_request;
    QLabel* m_picture = nullptr;
    QLabel* m_pathTitle = nullptr;
    QFormLayout* m_form = nullptr;
    QWidget* m_lines = nullptr;
    uint64_t m_shown = 0;
    bool m_complete = false;
    CLatestJobThread m_reader; // last: joined before the rest goes
};

} // namespace tessel
