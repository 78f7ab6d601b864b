#include "command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace ringlark {

CommandLine readCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Brings this PC online on request by e-mail: polls a POP3 mailbox and "
                       "brings up the chosen\nnetwork connection when the agreed mail arrives."));
    // Our own help and version options rather than Qt's: those need an application object
    // and end the process themselves, and --help-all would offer Qt options we do not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run with no window and no display; messages go to the log on stderr."));
    parser.addOptions({help, version, headless});

    CommandLine result;
    const QString program =
        arguments.isEmpty() ? QStringLiteral("ringlark") : QFileInfo(arguments.first()).fileName();
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString why = parser.errorText().isEmpty()
                                ? QStringLiteral("Unexpected argument '%1'.")
                                      .arg(parser.positionalArguments().value(0))
                                : parser.errorText();
        err << program << ": " << why << "\nTry '" << program << " --help'.\n";
        err.flush();
        result.exitStatus = kExitUsage;
        return result;
    }
    if (parser.isSet(help)) {
        // Qt names the program after the application object, which does not exist yet.
        const QString text = parser.helpText();
        out << "Usage: " << program << " [options]" << text.mid(text.indexOf(u'\n'))
            << "\nExit status:\n"
               "  0  normal end, also on SIGTERM, SIGINT or SIGHUP\n"
               "  1  the command line could not be read\n"
               "  2  no usable display, and no --headless\n"
               "  3  another RINGLARK already runs on the same settings file\n"
               "  4  --headless with nothing to do: no server, or an unusable interval\n";
        out.flush();
        result.exitStatus = 0;
        return result;
    }
    if (parser.isSet(version)) {
        out << "RINGLARK " << RINGLARK_VERSION_MAJOR << '.' << RINGLARK_VERSION_MINOR << '.'
            << RINGLARK_VERSION_PATCH << '\n';
        out.flush();
        result.exitStatus = 0;
        return result;
    }
    result.headless = parser.isSet(headless);
    return result;
}

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace ringlark
