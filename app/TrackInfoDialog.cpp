#include "app/TrackInfoDialog.h"

#include "core/FormatTime.h"
#include "decode/CoverArt.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace tessel {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Number(int number) {
    return number > 0 ? QString::number(number) : QString();
}

QString Gain(const std::optional<double>& db) {
    return db ? QStringLiteral("%1 dB").arg(*db, 0, 'f', 2) : QString();
}

QString Peak(const std::optional<double>& peak) {
    return peak ? QString::number(*peak, 'f', 6) : QString();
}

QString Channels(int channels) {
    switch (channels) {
    case 0:
        return {};
    case 1:
        return QStringLiteral("1 (mono)");
    case 2:
        return QStringLiteral("2 (stereo)");
    default:
        return QString::number(channels);
    }
}

QString Length(double seconds) {
    if (!(seconds >= 0.0) || !std::isfinite(seconds))
        return {};
    return QStringLiteral("%1 (%2 s)")
        .arg(QString::fromStdString(FormatTime(static_cast<int>(seconds))))
        .arg(seconds, 0, 'f', 3);
}

const std::string& Either(const std::string& first, const std::string& second) {
    return first.empty() ? second : first;
}

int Either(int first, int second) {
    return first > 0 ? first : second;
}

} // namespace

std::vector<TrackInfoLine> TrackInfoLines(const TrackInfoRequest& request,
                                          const StreamDetails& details) {
    const TrackTags& row = request.tags;
    const TrackTags& file = details.tags;
    // A part of a file has its own title; the file's would name the album.
    const std::string& title =
        request.partOfFile ? request.title : Either(request.title, details.title);
    std::vector<TrackInfoLine> lines = {
        {QStringLiteral("Title:"), QStringLiteral("title"), Text(title)},
        {QStringLiteral("Artist:"), QStringLiteral("artist"),
         Text(Either(row.artist, file.artist))},
        {QStringLiteral("Album artist:"), QStringLiteral("albumArtist"),
         Text(Either(row.albumArtist, file.albumArtist))},
        {QStringLiteral("Album:"), QStringLiteral("album"), Text(Either(row.album, file.album))},
        {QStringLiteral("Track:"), QStringLiteral("trackNumber"),
         Number(Either(row.trackNumber, file.trackNumber))},
        {QStringLiteral("Disc:"), QStringLiteral("discNumber"),
         Number(Either(row.discNumber, file.discNumber))},
        {QStringLiteral("Date:"), QStringLiteral("date"), Text(Either(row.date, file.date))},
        {QStringLiteral("Genre:"), QStringLiteral("genre"), Text(Either(row.genre, file.genre))},
    };
    const double seconds = request.partOfFile || (request.rowLength >= 0.0 && details.seconds < 0.0)
                               ? request.rowLength
                               : details.seconds;
    const ReplayGainValues& gain =
        request.sheetGain.Empty() ? details.replayGain : request.sheetGain;
    const std::vector<TrackInfoLine> facts = {
        {QStringLiteral("Format:"), QStringLiteral("format"), Text(details.container)},
        {QStringLiteral("Codec:"), QStringLiteral("codec"), Text(details.codec)},
        {QStringLiteral("Sample rate:"), QStringLiteral("sampleRate"),
         details.sampleRate > 0 ? QStringLiteral("%1 Hz").arg(details.sampleRate) : QString()},
        {QStringLiteral("Bits per sample:"), QStringLiteral("bits"), Number(details.bitsPerSample)},
        {QStringLiteral("Channels:"), QStringLiteral("channels"), Channels(details.channels)},
        {QStringLiteral("Bitrate:"), QStringLiteral("bitrate"),
         details.bitRate > 0 ? QStringLiteral("%1 kbps").arg(std::llround(details.bitRate / 1000.0))
                             : QString()},
        {QStringLiteral("Length:"), QStringLiteral("length"), Length(seconds)},
        {QStringLiteral("Track gain:"), QStringLiteral("trackGain"), Gain(gain.trackGainDb)},
        {QStringLiteral("Track peak:"), QStringLiteral("trackPeak"), Peak(gain.trackPeak)},
        {QStringLiteral("Album gain:"), QStringLiteral("albumGain"), Gain(gain.albumGainDb)},
        {QStringLiteral("Album peak:"), QStringLiteral("albumPeak"), Peak(gain.albumPeak)},
        {QStringLiteral("Path:"), QStringLiteral("path"), QFile::decodeName(request.path.c_str())},
    };
    lines.insert(lines.end(), facts.begin(), facts.end());
    return lines;
}

CTrackInfoDialog::CTrackInfoDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Track Info"));
    setObjectName(QStringLiteral("trackInfoDialog"));
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setFixedSize(kPictureSize, kPictureSize);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setFrameShape(QFrame::StyledPanel);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(m_picture);
    left->addStretch();
    columns->addLayout(left);
    m_lines = new QWidget(this);
    m_form = new QFormLayout(m_lines);
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    columns->addWidget(m_lines, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    setMinimumWidth(640);
}

CTrackInfoDialog::~CTrackInfoDialog() = default;

void CTrackInfoDialog::Show(const TrackInfoRequest& request) {
    m_request = request;
    m_complete = false;
    m_picture->setPixmap(QPixmap());
    m_picture->setText(QStringLiteral("No picture"));
    Fill(StreamDetails{});
    const std::string path = request.path;
    m_shown = m_reader.Post([this, path](uint64_t number) {
        Answer answer;
        answer.details = ReadStreamDetails(path);
        if (!m_reader.IsLatest(number))
            return;
        const CoverPicture cover = FindCoverArt(path);
        QImage image;
        // Scaled here, off the GUI thread: a cover may be thousands of
        // pixels across.
        if (!cover.Empty() &&
            image.loadFromData(cover.bytes.data(), static_cast<int>(cover.bytes.size())))
            answer.picture = image.scaled(kPictureSize, kPictureSize, Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation);
        QMetaObject::invokeMethod(
            this, [this, number, answer] { OnAnswer(number, answer); }, Qt::QueuedConnection);
    });
}

void CTrackInfoDialog::OnAnswer(uint64_t number, const Answer& answer) {
    if (number != m_shown)
        return;
    Fill(answer.details);
    if (!answer.picture.isNull()) {
        m_picture->setText(QString());
        m_picture->setPixmap(QPixmap::fromImage(answer.picture));
    }
    m_complete = true;
}

void CTrackInfoDialog::Fill(const StreamDetails& details) {
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    for (const TrackInfoLine& line : TrackInfoLines(m_request, details)) {
        if (line.value.isEmpty())
            continue;
        QWidget* value = nullptr;
        if (line.name == QLatin1String("path")) {
            // A path has no blanks to break at: a field scrolls through it,
            // and selects and copies it whole.
            auto* field = new QLineEdit(line.value, m_lines);
            field->setReadOnly(true);
            field->setCursorPosition(0);
            value = field;
        } else {
            auto* label = new QLabel(line.value, m_lines);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
            label->setTextFormat(Qt::PlainText);
            value = label;
        }
        value->setObjectName(line.name);
        m_form->addRow(line.label, value);
    }
    // The details make lines longer and more; the dialog grows to them.
    adjustSize();
}

QString CTrackInfoDialog::Value(const QString& name) const {
    if (const auto* label = m_lines->findChild<QLabel*>(name, Qt::FindDirectChildrenOnly))
        return label->text();
    if (const auto* field = m_lines->findChild<QLineEdit*>(name, Qt::FindDirectChildrenOnly))
        return field->text();
    return QString();
}

bool CTrackInfoDialog::HasPicture() const {
    return !m_picture->pixmap().isNull();
}

} // namespace tessel
