#include "highlightrules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

const char arrayName[] = "highlightRules";
const char keyEnabled[] = "enabled";
const char keyPattern[] = "pattern";
const char keyRegex[] = "regex";
const char keyCaseSensitive[] = "caseSensitive";
const char keyForeground[] = "foreground";
const char keyBackground[] = "background";
const char keyWholeLine[] = "wholeLine";

QString tr(const char *text)
{
    return QCoreApplication::translate("HighlightRules", text);
}

QColor storedColour(const QSettings &settings, const char *key)
{
    const QColor colour(settings.value(key).toString());
    return colour.isValid() ? colour : QColor();
}

QString colourName(const QColor &colour)
{
    return colour.isValid() ? colour.name() : QString();
}

} // namespace

HighlightRules readHighlightRules(QSettings &settings)
{
    HighlightRules rules;
    const int count = settings.beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        HighlightRule rule;
        rule.pattern.text = settings.value(keyPattern).toString();
        rule.pattern.regex = settings.value(keyRegex, false).toBool();
        rule.pattern.caseSensitive = settings.value(keyCaseSensitive, false).toBool();
        rule.foreground = storedColour(settings, keyForeground);
        rule.background = storedColour(settings, keyBackground);
        rule.wholeLine = settings.value(keyWholeLine, false).toBool();
        rule.enabled = settings.value(keyEnabled, true).toBool() && ruleProblem(rule).isEmpty();
        rules.append(rule);
    }
    settings.endArray();
    return rules;
}

void writeHighlightRules(QSettings &settings, const HighlightRules &rules)
{
    // An array shorter than the stored one would leave the old tail behind.
    settings.remove(arrayName);
    if (rules.isEmpty())
        return;
    settings.beginWriteArray(arrayName, rules.size());
    for (int i = 0; i < rules.size(); ++i) {
        const HighlightRule &rule = rules.at(i);
        settings.setArrayIndex(i);
        settings.setValue(keyEnabled, rule.enabled);
        settings.setValue(keyPattern, rule.pattern.text);
        settings.setValue(keyRegex, rule.pattern.regex);
        settings.setValue(keyCaseSensitive, rule.pattern.caseSensitive);
        settings.setValue(keyForeground, colourName(rule.foreground));
        settings.setValue(keyBackground, colourName(rule.background));
        settings.setValue(keyWholeLine, rule.wholeLine);
    }
    settings.endArray();
}

QString ruleProblem(const HighlightRule &rule)
{
    const LineMatcher matcher(rule.pattern);
    if (matcher.isValid())
        return QString();
    return tr("正規表現の誤り (%1 文字目): %2")
        .arg(matcher.errorOffset() + 1)
        .arg(matcher.errorString());
}

bool importHighlightRules(const QString &path, HighlightRules *rules, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    // QSettings reads a missing or unreadable file as an empty one: ask first.
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1 を読めません: %2").arg(shown, file.errorString());
        return false;
    }
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError
        || !settings.childGroups().contains(QLatin1String(arrayName))) {
        *error = tr("%1 はハイライト規則のファイルではありません。").arg(shown);
        return false;
    }
    *rules = readHighlightRules(settings);
    return true;
}

bool exportHighlightRules(const QString &path, const HighlightRules &rules, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    {
        QFile file(path);
        // Replaces what was there, and finds out early that it can be written.
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = tr("%1 に書き込めません: %2").arg(shown, file.errorString());
            return false;
        }
    }
    QSettings settings(path, QSettings::IniFormat);
    writeHighlightRules(settings, rules);
    if (rules.isEmpty()) {   // an empty set is still a rule file
        settings.beginWriteArray(arrayName, 0);
        settings.endArray();
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        *error = tr("%1 に書き込めません。").arg(shown);
        return false;
    }
    return true;
}
