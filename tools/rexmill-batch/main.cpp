// rexmill-batch: the window program's batch job from the command line.
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>

#include "engine/DebugLog.h"
#include "engine/FileIntake.h"
#include "engine/MessageBox.h"
#include "engine/RXWorker.h"
#include "engine/StopRequest.h"
#include "engine/Text.h"
#include "engine/Version.h"
#include "presets/OperationSet.h"
#include "presets/PresetStore.h"
#include "settings/SettingsStore.h"
#include "tools/rexmill-batch/BatchOptions.h"
#include "tools/rexmill-batch/ProgressPrinter.h"

namespace fs = boost::filesystem;
using namespace rx;
using namespace rx::batch;

namespace {

std::atomic<bool> g_interrupted{false};
void OnInterrupt(int) {
    g_interrupted = true;
    rx::RequestStopFromSignal();
}

// The settings store of the window program, not of this tool.
const char kWindowProgram[] = "rexmill";

// Every refused path named on the command line gets its own line; files met inside folders
// are summed up in one line (and listed one by one with -v).
class RefusalPrinter final : public IntakeListener {
public:
    explicit RefusalPrinter(bool verbose) : verbose_(verbose) {}
    void Refused(const fs::path& path, IntakeRefusal reason, bool inFolder) override {
        if (!inFolder) {
            ++named_;
            std::fprintf(stderr, "rexmill-batch: '%s' %s\n", path.c_str(),
                         IntakeRefusalText(reason));
            return;
        }
        ++inFolders_;
        if (verbose_)
            std::fprintf(stderr, "rexmill-batch: skipped '%s': it %s\n", path.c_str(),
                         IntakeRefusalText(reason));
    }
    void PrintFolderSummary() const {
        if (inFolders_ == 0)
            return;
        if (inFolders_ == 1)
            std::fprintf(stderr,
                         "rexmill-batch: 1 file inside the folders is not a usable image "
                         "and was skipped%s\n",
                         verbose_ ? "" : " (-v names it)");
        else
            std::fprintf(stderr,
                         "rexmill-batch: %zu files inside the folders are not usable "
                         "images and were skipped%s\n",
                         inFolders_, verbose_ ? "" : " (-v lists them)");
    }
    size_t named() const { return named_; }

private:
    bool verbose_;
    size_t named_ = 0;
    size_t inFolders_ = 0;
};

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "rexmill-batch: %s\nTry 'rexmill-batch --help' for more information.\n",
                 reason.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("rexmill-batch %s\n", kVersion);
        return 0;
    }
    // A closed pipe on the progress or summary output must not end the job; the printer stops
    // writing once a write fails.
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    const auto options = ParseBatchOptions(argc, argv, &error);
    if (!options)
        return UsageError(error);
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    std::setlocale(LC_TIME, "");
    // Text is drawn into images only: no display is ever needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (e.g. about the runtime folder) are diagnostics, not output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        DebugLog(L"%s\n", message.toStdWString().c_str());
    });
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    SetMessageBoxHandler([](const std::wstring& text, const std::wstring& caption, unsigned) {
        std::fprintf(stderr, "%s: %s\n", Narrow(caption).c_str(), Narrow(text).c_str());
        return IDOK;
    });
    if (options->verbose)
        SetDebugLogSink([](const std::wstring& line) {
            std::string s = Narrow(line);
            if (s.empty() || s.back() != '\n')
                s += '\n';
            std::fputs(s.c_str(), stderr);
        });

    OperationSet operations;
    std::wstring presetText;
    if (options->presetFile) {
        std::string why;
        const auto text = ReadPresetFile(*options->presetFile, &why);
        if (!text) {
            std::fprintf(stderr, "rexmill-batch: %s\n", why.c_str());
            return 2;
        }
        presetText = Widen(*text);
    } else if (options->preset) {
        presetText = Widen(*options->preset);
    } else {
        SettingsStore settings(QString::fromLatin1(kWindowProgram));
        if (options->presetName) {
            PresetStore presets(settings);
            const QString name = QString::fromStdString(*options->presetName);
            if (presets.indexOf(name) < 0)
                return UsageError("no preset named '" + *options->presetName + "'");
            presetText = presets.ReadPreset(name).toStdWString();
        } else {
            presetText = settings.workingPreset().toStdWString();
        }
    }
    if (!operations.ApplyPreset(presetText))
        return UsageError("the preset is not a valid preset document");

    RXWorker job(&operations);
    RefusalPrinter refusals(options->verbose);
    FileIntake intake(job, &refusals);
    intake.Begin();
    bool any = false;
    for (const std::string& p : options->paths)
        any = intake.AddPath(p) || any;
    refusals.PrintFolderSummary();
    if (!intake.ReportIntake(any))
        return 2;

    const ProgressPrinter::Style style = options->quiet || options->verbose
                                             ? ProgressPrinter::Style::Quiet
                                         : isatty(STDERR_FILENO) ? ProgressPrinter::Style::Bar
                                                                 : ProgressPrinter::Style::Lines;
    ProgressPrinter printer(style, job.files());
    job.setListener(&printer);
    job.setOutputFormat(options->format);
    job.setFilesInFlight(options->jobs);
    job.setOutputFolder(fs::absolute(options->output));

    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const size_t total = job.files().size();
    job.Start();
    while (job.IsRunning()) {
        if (g_interrupted) {
            // The file in hand leaves nothing; those saved before stay and are counted.
            job.Cancel();
            std::fprintf(stderr, "rexmill-batch: cancelled\n");
            std::printf("Saved %u of %zu files to %s before the cancel\n", printer.savedSoFar(),
                        total, Narrow(printer.runFolderSoFar()).c_str());
            return 130;
        }
        job.RunPendingCalls();
        // Short, so that a Ctrl+C reaches the job before the file in hand gets its name.
        printer.WaitForWake(10);
    }
    job.Wait();
    if (g_interrupted) {
        // The stop reached the job before its owner saw it: the file in hand was not named.
        std::fprintf(stderr, "rexmill-batch: cancelled\n");
        std::printf("Saved %u of %zu files to %s before the cancel\n", printer.savedSoFar(), total,
                    Narrow(printer.runFolderSoFar()).c_str());
        return 130;
    }
    std::printf("Saved %u of %zu files to %s\n", printer.saved(), total,
                Narrow(printer.runFolder()).c_str());
    return printer.finished() && printer.saved() == total && refusals.named() == 0 ? 0 : 1;
}
