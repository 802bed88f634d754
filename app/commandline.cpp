#include "commandline.h"

#include <QCoreApplication>

CommandLine parseCommandLine(const QStringList &args)
{
    CommandLine line;
    const int optionsEnd = args.contains(QStringLiteral("--")) ? args.indexOf(QStringLiteral("--"))
                                                                : args.size();
    for (int i = 0; i < optionsEnd; ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            line.action = CommandLine::Help;
            return line;
        }
        if (arg == QLatin1String("--version")) {
            line.action = CommandLine::Version;
            return line;
        }
    }
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool option = i < optionsEnd && arg.startsWith(QLatin1Char('-'));
        if (option) {
            line.action = CommandLine::Error;
            line.badOption = arg;
            return line;
        }
        if (i != optionsEnd && line.path.isEmpty())
            line.path = arg;
    }
    return line;
}

QString usageText()
{
    return QCoreApplication::translate(
        "CommandLine",
        "使い方: tailpeek [オプション] [--] [ファイル]\n"
        "\n"
        "伸び続けるテキストファイル（ログなど）の一部の行だけを読んで表示します。\n"
        "ファイルを指定すると、起動時に開きます。\n"
        "\n"
        "オプション:\n"
        "  -h, --help     この説明を表示して終了します\n"
        "  --version      バージョンを表示して終了します\n"
        "  --             以降の引数をオプションとして扱いません（- で始まるファイル名に）\n"
        "  Qt のオプション（-style、-platform など）も使えます。\n"
        "\n"
        "キー操作:\n"
        "  Ctrl+O            ファイルを開く\n"
        "  Alt+X             終了\n"
        "  Home / Ctrl+Home  表示の先頭へ\n"
        "  End / Ctrl+End    表示の末尾へ（▲最新行では追跡を再開）\n"
        "  Enter             ハイライト文字の入力欄で: 更新\n"
        "  Ctrl+F            検索バーを表示し、検索文字列を選択\n"
        "  Enter / F3        次を検索（ファイル全体）\n"
        "  Shift+Enter / Shift+F3  前を検索\n"
        "  Alt+Enter         一致行をすべて一覧に表示\n"
        "  Ctrl+G            時刻へ移動の入力欄へ（Enter で移動）\n"
        "  Esc               検索を中止、検索中でなければ検索バーを閉じる\n"
        "\n"
        "設定ファイル: ~/.config/VARNOK/Tailpeek.conf\n"
        "（XDG_CONFIG_HOME を設定している場合はその下の VARNOK/Tailpeek.conf）\n");
}

QString versionText()
{
    return QStringLiteral("tailpeek " TAILPEEK_VERSION);
}

QString badOptionText(const QString &option)
{
    return QCoreApplication::translate("CommandLine",
                                       "tailpeek: 不明なオプション: %1\n"
                                       "使い方は tailpeek --help で表示されます。\n")
        .arg(option);
}
