// gifclipmaker-cli: converts a clip of a video into an animated GIF without a window. It fills a
// project as the program's dialogs do, and the project's request runs the same engine.

#include "app/cli/CliOptions.h"
#include "app/cli/CliProject.h"
#include "app/cli/CliRun.h"
#include "common/SysInfo.h"
#include "decoder/FFDecoder.h"
#include "project/VGProject.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// The converter needs no per-user runtime folder; Qt's note that it made one up would only
// confuse people reading the converter's output. Other messages pass as usual.
QtMessageHandler previousHandler = nullptr;
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, text)));
}

TCliStop stop;

void OnStopSignal(int signalNumber) {
    stop.Signal = signalNumber;
    stop.Requested = true;
}

int Usage(const QString& message) {
    std::fprintf(stderr, "gifclipmaker-cli: %s\nTry --help.\n", qUtf8Printable(message));
    return ecUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    ReturnBigBlocksToSystem();
    // Frames are drawn in memory only; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(FilterQtMessages);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gifclipmaker-cli"));

    const TCliParse parse = ParseCliArguments(QCoreApplication::arguments());
    if (parse.Action == TCliAction::Help || parse.Action == TCliAction::Version) {
        const QString text = parse.Action == TCliAction::Help ? CliHelpText() : CliVersionText();
        std::fputs(qUtf8Printable(text), stdout);
        return ecDone;
    }
    if (parse.Action == TCliAction::Usage)
        return Usage(parse.Error);
    const TCliOptions& options = parse.Options;
    if (const QString problem = CheckCliFiles(options); !problem.isEmpty())
        return Usage(problem);
    if (options.ToStdout && !options.Estimate && ::isatty(STDOUT_FILENO))
        return Usage(QStringLiteral("standard output is a terminal; send the GIF to a file or a "
                                    "pipe"));

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    // A reader that goes away early makes the write fail with a message instead of ending the
    // process silently.
    std::signal(SIGPIPE, SIG_IGN);
    TVGProj project([&options] {
        TProjectDefaults defaults;
        defaults.GifMaxFrame = options.MaxFrames;
        return defaults;
    });
    // A GIF for standard output is made in a private folder first.
    QTemporaryDir spool;
    const QString gifFile =
        options.ToStdout ? spool.filePath(QStringLiteral("out.gif")) : options.GifFile;
    auto decoder = std::make_unique<TFFDecoder>();
    const TFillOutcome fill = FillProject(options, gifFile, project, *decoder);
    for (const QString& warning : fill.Warnings)
        std::fprintf(stderr, "gifclipmaker-cli: warning: %s\n", qUtf8Printable(warning));
    if (fill.ExitCode == ecUsage)
        return Usage(fill.Error);
    if (fill.ExitCode != ecDone) {
        std::fprintf(stderr, "gifclipmaker-cli: %s\n", qUtf8Printable(fill.Error));
        return fill.ExitCode;
    }
    TCliStreams streams;
    // The bar redraws itself in place: only on a terminal.
    streams.ShowProgress = !options.Quiet && ::isatty(STDERR_FILENO);
    if (const TCliExitCode code = ChooseCliBounds(project, options, *decoder, stop, streams);
        code != ecDone)
        return code;
    if (options.Estimate)
        return RunCliEstimate(project, stop, streams, std::move(decoder));
    return RunCliConversion(project, options, stop, streams, std::move(decoder));
}
