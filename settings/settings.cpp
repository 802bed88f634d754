// MainWindow: readSettings, writeSettings.
//
// The store is Qt's native one in the user scope under "VARNOK"/"Tailpeek".
// Both functions list the keys in the same order (the writer puts fontbold and
// fontitalic before fontsize) and spell each key once, here.

#include "findbar.h"
#include "highlightrules.h"
#include "linewindowreader.h"
#include "matchlisting.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QSettings>
#include <QStyle>

namespace {

const char keyPos[] = "pos";
const char keySize[] = "size";
const char keyFontFamily[] = "fontfamily";
const char keyFontSize[] = "fontsize";
const char keyFontBold[] = "fontbold";
const char keyFontItalic[] = "fontitalic";
const char keyFontUnderline[] = "fontunderline";
const char keyFontStrikeOut[] = "fontstrikeout";
const char keyStartMode[] = "sktype";
const char keyLineCount[] = "linecnt";
const char keyCodec[] = "codec";
const char keyBackground[] = "bgcolor";
const char keyTextColor[] = "txcolor";
const char keyHighlightBackground[] = "hlbgcol";
const char keyHighlightText[] = "hltxcol";
const char keyLineMax[] = "linemax";
const char keyExtractMode[] = "chmode";

const QPoint defaultPos(200, 200);
const QSize defaultSize(900, 400);

QColor namedColor(const QSettings &settings, const char *key, const char *fallback)
{
    QColor color;
    color.setNamedColor(settings.value(key, QString::fromLatin1(fallback)).toString());
    return color;
}

// True when the rectangle overlaps some screen that is there now. A position
// saved on a monitor that has since gone would open the window out of reach.
bool onSomeScreen(const QRect &rect)
{
    const auto screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        if (screen->availableGeometry().intersects(rect))
            return true;
    }
    return screens.isEmpty();
}

// wanted brought into area: no larger than it, moved the least that puts the
// window inside, counting that Qt makes a window at least its least size when
// it is shown. When there is room, a title bar's height is left free above
// the window for the frame that the window manager adds.
QRect fitInto(const QRect &wanted, const QSize &least, const QRect &area, int titleBar)
{
    QRect room = area;
    if (room.height() - titleBar >= least.height())
        room.setTop(room.top() + titleBar);
    const QSize size = wanted.size().boundedTo(room.size());
    const QSize shown = size.expandedTo(least);
    // qBound gives the lower bound when the window is larger than the room.
    const int x = qBound(room.left(), wanted.x(), room.right() + 1 - shown.width());
    const int y = qBound(room.top(), wanted.y(), room.bottom() + 1 - shown.height());
    return QRect(QPoint(x, y), size);
}

} // namespace

void MainWindow::readSettings()
{
    QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));

    const bool storedGeometry = settings.contains(keyPos) || settings.contains(keySize);
    QRect geometry(settings.value(keyPos, defaultPos).toPoint(),
                   settings.value(keySize, defaultSize).toSize());
    if (!storedGeometry || !onSomeScreen(geometry)) {
        // The default fits a common screen at scale 1, but not every screen at
        // every scale: fit it to the screen it opens on, dock included.
        geometry = QRect(defaultPos, defaultSize);
        const QScreen *screen = QGuiApplication::screenAt(defaultPos);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            // The dock's content lays itself out only when shown; its least
            // height is known once its layout has been activated.
            ui->gridLayout_4->activate();
            geometry = fitInto(geometry, minimumSizeHint(), screen->availableGeometry(),
                               style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
        }
    }
    resize(geometry.size());
    move(geometry.topLeft());

    QFont font;
    font.setFamily(settings.value(keyFontFamily, QStringLiteral("ＭＳ ゴシック")).toString());
    font.setPointSize(settings.value(keyFontSize, 10).toInt());
    font.setWeight(settings.value(keyFontBold, false).toBool() ? QFont::Bold : QFont::Normal);
    font.setItalic(settings.value(keyFontItalic, false).toBool());
    font.setUnderline(settings.value(keyFontUnderline, false).toBool());
    font.setStrikeOut(settings.value(keyFontStrikeOut, false).toBool());
    ui->textEdit->setFont(font);

    // These setters run the controls' handlers when the value changes; each ends
    // in a refresh, which reads nothing yet because no file is set.
    setStartMode(startModeFromIndex(settings.value(keyStartMode, WindowRequest::PercentMode).toInt()));
    ui->spinBox->setValue(settings.value(keyLineCount, 20).toInt());

    codecName = settings.value(keyCodec, QString()).toString();
    syncCodecActions();

    QPalette palette = ui->textEdit->palette();
    palette.setBrush(QPalette::Base, QBrush(namedColor(settings, keyBackground, "#FFFFFF"),
                                            Qt::SolidPattern));
    ui->textEdit->setPalette(palette);
    ui->textEdit->setTextColor(namedColor(settings, keyTextColor, "#000000"));
    viewFormat = ui->textEdit->currentCharFormat();

    highlightBackground = namedColor(settings, keyHighlightBackground, "#FFFF00");
    highlightForeground = namedColor(settings, keyHighlightText, "#FF0000");

    // A hand-edited limit outside what the input dialog allows is brought to
    // the nearest bound, so that no read is ever unbounded.
    maxLineChars = qBound(
        qint64(WindowRequest::MinLineChars),
        settings.value(keyLineMax, WindowRequest::DefaultLineChars).toLongLong(),
        qint64(WindowRequest::MaxLineChars));

    extractMode = settings.value(keyExtractMode, true).toBool();
    syncExtractAction();

    findBar->readSettings(settings);
    matchListing->readSettings(settings);

    // An array of its own beside the flat keys; none gives no rules.
    highlightRules = RuleMarks(readHighlightRules(settings));
}

void MainWindow::writeSettings()
{
    QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));

    settings.setValue(keyPos, pos());
    settings.setValue(keySize, size());

    const QFont font = ui->textEdit->font();
    settings.setValue(keyFontFamily, font.family());
    settings.setValue(keyFontBold, font.weight() > QFont::Normal);
    settings.setValue(keyFontItalic, font.style() != QFont::StyleNormal);
    settings.setValue(keyFontSize, font.pointSize());
    settings.setValue(keyFontUnderline, font.underline());
    settings.setValue(keyFontStrikeOut, font.strikeOut());

    settings.setValue(keyStartMode, int(startMode()));
    settings.setValue(keyLineCount, ui->spinBox->value());
    settings.setValue(keyCodec, codecName);

    settings.setValue(keyBackground,
                      ui->textEdit->palette().brush(QPalette::Base).color().name());
    // The view's text colour; textColor() would give a mark's colour while the
    // edit cursor stands behind a mark.
    settings.setValue(keyTextColor, viewFormat.foreground().color().name());
    settings.setValue(keyHighlightBackground, highlightBackground.name());
    settings.setValue(keyHighlightText, highlightForeground.name());
    settings.setValue(keyLineMax, maxLineChars);
    settings.setValue(keyExtractMode, extractMode);

    findBar->writeSettings(settings);
    matchListing->writeSettings(settings);

    writeHighlightRules(settings, highlightRules.rules());
}
