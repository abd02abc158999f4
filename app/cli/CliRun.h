#pragma once
// Runs the conversion of a filled project for the command line and reports how it ended.

#include "app/cli/CliOptions.h"

#include <atomic>
#include <cstdio>
#include <memory>

class TCustomDecoder;
class TVGProj;

// Where the run writes: the summary (standard output, or the message stream when the GIF itself
// goes to standard output), messages and the progress bar, and the GIF's bytes for "-".
struct TCliStreams {
    FILE* Output = stdout;
    FILE* Messages = stderr;
    bool ShowProgress = false;
};

// What stopped the run: 0 nothing yet, else the signal's number. Set by a signal handler.
struct TCliStop {
    std::atomic<bool> Requested{false};
    std::atomic<int> Signal{0};
};

// Converts on the calling thread. A GIF that was written whole counts as done, even when a stop
// came too late to prevent it. With options.ToStdout the GIF (written to the project's GIF file)
// is copied to the output stream. `opened`, when given, is the decoder that filled the project,
// still holding the video open: the conversion reads with it instead of opening the video again.
// Returns the process's exit code.
// Moves the filled project's clip bounds as --loop-end, --loop-start and --trim-still ask (with
// `decoder`, holding the video open), printing each bound chosen. Returns ecDone to go on, else the
// process's exit code.
[[nodiscard]] TCliExitCode ChooseCliBounds(TVGProj& project, const TCliOptions& options,
                                           TCustomDecoder& decoder, const TCliStop& stop,
                                           const TCliStreams& streams);

// Prints the estimate of the GIF the project would make ("about 2.4 MB · 96 frames · 8.0 s"),
// writing nothing. Returns the process's exit code.
[[nodiscard]] TCliExitCode RunCliEstimate(TVGProj& project, const TCliStop& stop,
                                          const TCliStreams& streams,
                                          std::unique_ptr<TCustomDecoder> opened = nullptr);

[[nodiscard]] TCliExitCode RunCliConversion(TVGProj& project, const TCliOptions& options,
                                            const TCliStop& stop, const TCliStreams& streams,
                                            std::unique_ptr<TCustomDecoder> opened = nullptr);
