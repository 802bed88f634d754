#ifndef FINDBAR_H
#define FINDBAR_H

// The find bar below the view: the pattern and its options, next and
// previous, go to a time, and a status label. It only asks; MainWindow's
// find (app/windowfind.*) does the searching.

#include <QWidget>

#include "linematcher.h"

class QSettings;

namespace Ui {
class FindBar;
}

class FindBar : public QWidget
{
    Q_OBJECT
    // A search or a go-to-time runs (tests wait on it by name).
    Q_PROPERTY(bool busy READ isBusy)

public:
    explicit FindBar(QWidget *parent = nullptr);
    ~FindBar() override;

    MatchPattern pattern() const;
    QString typedTime() const;
    // The match list leaves out lines that match this (the pattern's options).
    MatchPattern exclusion() const;
    QString exclusionText() const;
    void setExclusionText(const QString &text);

    // Shows the bar and puts the cursor into the pattern (Ctrl+F) or the
    // time (Ctrl+G), its text selected.
    void focusPattern();
    void focusTime();

    void showStatus(const QString &text, bool problem = false);
    // While busy, Esc cancels instead of closing the bar.
    void setBusy(bool busy);
    bool isBusy() const { return busy; }

    // The settings group "find": visibility and the two options.
    void readSettings(QSettings &settings);
    void writeSettings(QSettings &settings) const;

signals:
    void findRequested(bool backward);
    void goToTimeRequested(const QString &typed);
    void listRequested();
    void rulesRequested();
    // The pattern, an option or the exclusion changed.
    void patternEdited();
    void cancelRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::FindBar *ui;
    bool busy = false;
};

#endif // FINDBAR_H
