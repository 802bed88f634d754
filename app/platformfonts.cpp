#include "platformfonts.h"

#include <QFont>
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
