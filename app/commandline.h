#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// What the program's own arguments ask for. The toolkit takes its options
// (-style, -platform, ...) out of the arguments first; the rest is ours.

#include <QString>
#include <QStringList>

struct CommandLine
{
    enum Action {
        Run,       // show the window, on path when it is not empty
        Help,      // print usageText() and end
        Version,   // print versionText() and end
        Error,     // an option not understood: say so and end with exit code 2
    };
    Action action = Run;
    QString path;        // Run: the first argument that is no option; further ones are ignored
    QString badOption;   // Error: the first option not understood
};

// args: the arguments after the program's name. --help (-h) and --version
// win over everything else before "--"; after "--" nothing is an option.
CommandLine parseCommandLine(const QStringList &args);

// The usage, in Japanese: the arguments, the keys and the settings file.
QString usageText();
// "tailpeek 1.0.0": the project's version.
QString versionText();
// The message for an option not understood.
QString badOptionText(const QString &option);

#endif // COMMANDLINE_H
