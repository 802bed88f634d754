#include "statusline.h"

#include "linewindowreader.h"
#include "platformfonts.h"
#include "visiblecontrols.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

namespace {

// Byte counts with the thousands grouped, the same on every system locale.
QString grouped(qint64 value)
{
    static const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    return japanese.toString(value);
}

// part as a share of whole, rounded down to a tenth, so that only the very end
// reads 100% and only the very start 0%.
QString percentOf(qint64 part, qint64 whole)
{
    if (part >= whole)
        return QStringLiteral("100%");
    if (part <= 0)
        return QStringLiteral("0%");
    const double tenths = std::floor(double(part) * 1000.0 / double(whole));
    return QString::number(tenths / 10.0, 'f', 1) + QLatin1Char('%');
}

QLabel *addLabel(QStatusBar *bar, const char *name, int stretch = 0)
{
    auto *label = new QLabel(bar);
    label->setObjectName(QLatin1String(name));
    bar->addWidget(label, stretch);
    return label;
}

} // namespace

StatusLine::StatusLine(QStatusBar *bar, QObject *parent)
    : QObject(parent), clock([] { return QTime::currentTime(); })
{
    setObjectName(QStringLiteral("statusLine"));
    file = addLabel(bar, "statusFile");
    failure = addLabel(bar, "statusFailure");
    size = addLabel(bar, "statusSize");
    encoding = addLabel(bar, "statusEncoding");
    range = addLabel(bar, "statusRange");
    filter = addLabel(bar, "statusFilter");
    changed = addLabel(bar, "statusChanged");
    follow = addLabel(bar, "statusFollow", 1);
    note = addLabel(bar, "statusNote");
    note->hide();
    noteTimer = new QTimer(this);
    noteTimer->setSingleShot(true);
    connect(noteTimer, &QTimer::timeout, note, &QLabel::hide);

    // One font for every field: the application font may lack Japanese, and
    // then its digits sit beside the glyphs of a fallback font of another size.
    const QString family = japaneseInterfaceFamily();
    if (!family.isEmpty()) {
        for (QLabel *label : {file, failure, size, encoding, range, filter, changed, follow, note}) {
            QFont font = label->font();
            font.setFamily(family);
            label->setFont(font);
        }
    }

    QPalette red = failure->palette();
    red.setColor(QPalette::WindowText, QColor(0xc0, 0, 0));
    failure->setPalette(red);
    size->setToolTip(tr("ファイルのサイズ"));
    range->setToolTip(tr("表示している部分（ファイル先頭からのバイト位置）"));
    changed->setToolTip(tr("表示が最後に変わった読込の時刻"));
    showNoFile();
}

void StatusLine::setClock(std::function<QTime()> newClock)
{
    clock = std::move(newClock);
}

QString StatusLine::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    if (bytes < qint64(1024) * 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(double(bytes) / (1024.0 * 1024.0 * 1024.0), 0, 'f', 2);
}

void StatusLine::showNoFile()
{
    hasFile = false;
    failing = false;
    shownPath.clear();
    file->setText(tr("ファイル未選択"));
    file->setToolTip(QString());
    for (QLabel *label : {failure, size, encoding, range, filter, changed})
        label->hide();
    showFollow();
}

void StatusLine::showFile(const QString &path)
{
    hasFile = true;
    // A name that holds hidden characters shows them as markers, so that it
    // cannot pass for another.
    const QString name = QFileInfo(path).fileName();
    const QString nativePath = QDir::toNativeSeparators(path);
    const bool hides = hasHiddenCharacters(nativePath);
    file->setTextFormat(hides ? Qt::RichText : Qt::PlainText);
    file->setText(hides ? displayHtml(name) : name);
    file->setToolTip(hides ? displayHtml(nativePath) : nativePath);
}

void StatusLine::showRead(const QString &path, const QString &codecName, const WindowResult &result,
                          bool viewChanged)
{
    if (result.status != WindowResult::Read) {
        // The timer's unchanged file: the fields still hold; a failure has ended.
        if (failing && result.status == WindowResult::Unchanged) {
            failing = false;
            failure->hide();
        }
        return;
    }
    if (viewChanged || path != shownPath || result.fileSize != shownSize)
        changed->setText(tr("最終更新 %1").arg(clock().toString(QStringLiteral("HH:mm:ss"))));
    shownPath = path;
    shownSize = result.fileSize;
    failing = false;
    failure->hide();
    showFile(path);

    size->setText(tr("サイズ %1").arg(sizeText(result.fileSize)));
    size->setToolTip(tr("%1 バイト").arg(grouped(result.fileSize)));

    QString name = result.encodingName;
    if (result.byteOrderMark)
        name += QLatin1String(" (BOM)");
    if (!result.detected.codecName.isEmpty())
        name += tr("（自動判定）");
    encoding->setText(name);
    encoding->setToolTip(CodecName::isChosen(codecName) ? tr("文字コード（指定）")
                                                 : tr("文字コード（Unicode 自動判定）"));

    if (result.fileSize <= 0) {
        range->setText(tr("範囲 なし（空のファイル）"));
    } else {
        range->setText(tr("範囲 %1～%2 バイト（%3～%4）")
                           .arg(grouped(result.windowBegin), grouped(result.windowEnd),
                                percentOf(result.windowBegin, result.fileSize),
                                percentOf(result.windowEnd, result.fileSize)));
    }
    for (QLabel *label : {size, range, changed})
        label->show();
    encoding->setVisible(!name.isEmpty());
    showFollow();
}

void StatusLine::showFailure(const QString &path, const QString &errorString)
{
    // A file that never read shows nothing of another file's fields.
    if (path != shownPath) {
        for (QLabel *label : {size, encoding, range, changed})
            label->hide();
    }
    showFile(path);
    // The time a run of failures began: how long a rotated log has been missing.
    if (!failing || path != failingPath)
        failingSince = clock();
    failing = true;
    failingPath = path;
    failure->setText(tr("読込失敗（%1 から）: %2")
                         .arg(failingSince.toString(QStringLiteral("HH:mm:ss")), errorString));
    failure->setToolTip(QDir::toNativeSeparators(path));
    failure->show();
    showFollow();
}

void StatusLine::showFilter(const QString &needle, qint64 lineCount)
{
    // An empty filtered view must not pass for an empty file.
    filter->setText(tr("抽出: %1（%2 行）").arg(needle, grouped(lineCount)));
    filter->setToolTip(tr("ハイライト文字を含む行だけを表示しています"));
    filter->setVisible(!needle.isEmpty());
}

void StatusLine::showNote(const QString &text)
{
    note->setText(text);
    note->show();
    noteTimer->start(noteMs);
}

void StatusLine::setFollowState(FollowState state)
{
    followState = state;
    showFollow();
}

void StatusLine::showFollow()
{
    switch (followState) {
    case NotFollowing:
        follow->clear();
        break;
    case Following:
        follow->setText(tr("追跡中"));
        break;
    case PausedBySelection:
        follow->setText(tr("一時停止（選択中）"));
        break;
    case PausedByScroll:
        follow->setText(tr("一時停止（スクロール中）"));
        break;
    }
    follow->setVisible(hasFile && followState != NotFollowing);
}
