#include "findbar.h"
#include "ui_findbar.h"

#include <QKeyEvent>
#include <QSettings>

namespace {

const char groupFind[] = "find";
const char keyVisible[] = "visible";
const char keyRegex[] = "regex";
const char keyCaseSensitive[] = "caseSensitive";

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

FindBar::FindBar(QWidget *parent)
    : QWidget(parent),
      ui(new Ui::FindBar)
{
    ui->setupUi(this);
    connect(ui->findNext, &QPushButton::clicked, this, [this] { emit findRequested(false); });
    connect(ui->findPrevious, &QPushButton::clicked, this, [this] { emit findRequested(true); });
    connect(ui->findAll, &QPushButton::clicked, this, &FindBar::listRequested);
    connect(ui->findRules, &QPushButton::clicked, this, &FindBar::rulesRequested);
    for (QLineEdit *edit : {ui->findText, ui->matchExclude})
        connect(edit, &QLineEdit::textEdited, this, &FindBar::patternEdited);
    for (QCheckBox *box : {ui->findRegex, ui->findCase})
        connect(box, &QCheckBox::toggled, this, &FindBar::patternEdited);
    ui->matchExclude->installEventFilter(this);
    // Enter and Esc need their modifiers, which returnPressed does not tell.
    ui->findText->installEventFilter(this);
    ui->gotoTime->installEventFilter(this);
}

FindBar::~FindBar()
{
    delete ui;
}

MatchPattern FindBar::pattern() const
{
    MatchPattern pattern;
    pattern.text = ui->findText->text();
    pattern.regex = ui->findRegex->isChecked();
    pattern.caseSensitive = ui->findCase->isChecked();
    return pattern;
}

QString FindBar::typedTime() const
{
    return ui->gotoTime->text().trimmed();
}

MatchPattern FindBar::exclusion() const
{
    MatchPattern pattern = this->pattern();
    pattern.text = ui->matchExclude->text();
    return pattern;
}

QString FindBar::exclusionText() const
{
    return ui->matchExclude->text();
}

void FindBar::setExclusionText(const QString &text)
{
    ui->matchExclude->setText(text);
}

void FindBar::focusPattern()
{
    show();
    ui->findText->setFocus(Qt::ShortcutFocusReason);
    ui->findText->selectAll();
}

void FindBar::focusTime()
{
    show();
    ui->gotoTime->setFocus(Qt::ShortcutFocusReason);
    ui->gotoTime->selectAll();
}

void FindBar::showStatus(const QString &text, bool problem)
{
    ui->findStatus->setText(text);
    ui->findStatus->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
}

void FindBar::setBusy(bool running)
{
    busy = running;
}

void FindBar::readSettings(QSettings &settings)
{
    settings.beginGroup(QLatin1String(groupFind));
    // Visible at first start, so that a new user sees it.
    setVisible(settings.value(QLatin1String(keyVisible), true).toBool());
    ui->findRegex->setChecked(settings.value(QLatin1String(keyRegex), false).toBool());
    ui->findCase->setChecked(settings.value(QLatin1String(keyCaseSensitive), false).toBool());
    settings.endGroup();
}

void FindBar::writeSettings(QSettings &settings) const
{
    settings.beginGroup(QLatin1String(groupFind));
    settings.setValue(QLatin1String(keyVisible), !isHidden());
    settings.setValue(QLatin1String(keyRegex), ui->findRegex->isChecked());
    settings.setValue(QLatin1String(keyCaseSensitive), ui->findCase->isChecked());
    settings.endGroup();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        if (busy)
            emit cancelRequested();
        else
            hide();
        return true;
    }
    if (!isEnter(key))
        return QWidget::eventFilter(watched, event);
    if (watched == ui->gotoTime)
        emit goToTimeRequested(typedTime());
    else if (watched == ui->matchExclude || key->modifiers() & Qt::AltModifier)
        emit listRequested();
    else
        emit findRequested(key->modifiers() & Qt::ShiftModifier);
    return true;
}
