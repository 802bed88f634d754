#include "platformfonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

void registerJapaneseFontSubstitutes()
{
    const QStringList monospaceJapanese = {
        QStringLiteral("IPAGothic"),
        QStringLiteral("Noto Sans Mono CJK JP"),
        QStringLiteral("TakaoGothic"),
        QStringLiteral("VL Gothic"),
    };
    for (const QString &family : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")})
        QFont::insertSubstitutions(family, monospaceJapanese);
}

QString japaneseInterfaceFamily()
{
    const QFontDatabase fonts;
    const QStringList preferred = {
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
        QStringLiteral("TakaoPGothic"),     QStringLiteral("VL PGothic"),
        QStringLiteral("Yu Gothic UI"),     QStringLiteral("Meiryo UI"),
    };
    const QStringList japanese = fonts.families(QFontDatabase::Japanese);
    for (const QString &family : preferred) {
        if (japanese.contains(family))
            return family;
    }
    return japanese.isEmpty() ? QString() : japanese.first();
}
