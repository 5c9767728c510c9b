#include "plan/plan_command.h"

#include "audio/click_schedule.h"
#include "generated/project_info.h"
#include "plan/click_track.h"
#include "plan/descriptor_output.h"
#include "plan/plan_options.h"
#include "plan/plan_report.h"
#include "plan/removal_on_signals.h"
#include "plan/shell_quoting.h"
#include "plan/speed_plan.h"
#include "plan/track_output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavro::plan {

namespace {

constexpr int kDone = 0;
constexpr int kNotWritten = 1;
constexpr int kRefused = 2;  // by START, or a bad command line

// "writing FILE: 42%" on one line of a terminal, rewritten in place, once writing has
// taken longer than a second; shorter writes show nothing, and neither does a log file.
// A signal that ends the program ends the line too.
class ProgressLine {
public:
    ProgressLine(const Console& console, std::string file, std::int64_t total)
        : err_(console.err),
          onTerminal_(console.errIsTerminal),
          file_(std::move(file)),
          total_(total)
    {
        if (onTerminal_)
            lineEnd_.emplace();
    }

    void update(std::int64_t done)
    {
        const auto now = Clock::now();
        if (!onTerminal_ || now - began_ < std::chrono::seconds(1)
            || now - shown_ < std::chrono::milliseconds(200))
            return;
        shown_ = now;
        err_ << "\rwriting " << file_ << ": " << done * 100 / total_ << '%' << std::flush;
        lineEnd_->setOpen(true);
    }

    // Ends the line, if one was begun, after `done` frames.
    void end(std::int64_t done)
    {
        if (shown_ == Clock::time_point())
            return;
        err_ << "\rwriting " << file_ << ": " << done * 100 / total_ << "%\n" << std::flush;
        lineEnd_->setOpen(false);
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    bool onTerminal_;
    std::string file_;
    std::int64_t total_;
    Clock::time_point began_ = Clock::now();
    Clock::time_point shown_;
    std::optional<LineEndOnSignals> lineEnd_;  // on a terminal
};

int usageError(std::ostream& err, const std::string& why)
{
    err << "tavro-plan: " << why << "\nTry 'tavro-plan --help' for more information.\n";
    return kRefused;
}

// START's message as the message box shows it, one line of output per line of the box.
int refused(std::ostream& err, std::string message)
{
    std::replace(message.begin(), message.end(), '\r', '\n');
    err << message << '\n';
    return kRefused;
}

// A failed write, said on `err`; but a reader that closed standard output has had all it
// wanted (`tavro-plan --wav - | head -c 44`), which the status alone says, as cat does.
int notWritten(std::ostream& err, const FileError& error, bool toStandardOutput)
{
    if (!toStandardOutput || error.error() != EPIPE)
        err << "tavro-plan: " << error.what() << '\n';
    return kNotWritten;
}

// Flushes `out`, the table, CSV or help; a failure is an error of its own.
int flushed(std::ostream& out, std::ostream& err)
{
    if (out.flush())
        return kDone;
    const int error = DescriptorBuffer::errorOf(out);
    return notWritten(err,
                      error ? FileError(kStandardOutputName, error)
                            : FileError("cannot write " + std::string(kStandardOutputName)),
                      true);
}

int writeTrack(SpeedPlan& plan, TrackOutput& track, std::int64_t frames, const PlanOptions& options,
               bool toStandardOutput, const Console& console)
{
    ProgressLine progress(console,
                          options.wavToStandardOutput() ? kStandardOutputName
                                                        : shellQuoted(*options.wavPath),
                          frames);
    std::int64_t written = 0;
    try {
        writeClickTrack(plan, plan.started().beepcount, frames, track, [&](std::int64_t done) {
            written = done;
            progress.update(done);
        });
        track.commit();
    } catch (const FileError& error) {
        progress.end(written);
        return notWritten(console.err, error, toStandardOutput);
    }
    progress.end(written);
    return kDone;
}

}  // namespace

int runPlanCommand(const std::vector<std::string>& args, const Console& console)
{
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty())
        return usageError(err, parsed.error);
    const PlanOptions& options = parsed.options;
    // The click track on standard output leaves out the table, which would spoil it.
    const bool trackOnStandardOutput =
        options.wavPath && (options.wavToStandardOutput() || isStandardOutput(*options.wavPath));
    if (options.csv && trackOnStandardOutput)
        return usageError(err, "--csv and the click track would both write standard output");
    if (options.help || options.version) {
        out << (options.help ? helpText() : "tavro-plan " + std::string(project::kVersion) + "\n");
        return flushed(out, err);
    }

    SpeedPlan plan(options.settings);
    if (plan.refusal())
        return refused(err, *plan.refusal());
    const auto rowCount = static_cast<std::size_t>(options.steps.value_or(0));
    const std::span<const PlanRow> rows = plan.rows(rowCount > 0 ? rowCount : plan.rowsToMaximum());

    // By default the track lasts until the passes of the last row end.
    const std::int64_t untilLastRowEnds = plan.endMs(rows.back());
    if (options.wavPath && !options.wavFrames
        && untilLastRowEnds > kMaxTrackFrames / audio::kFramesPerMillisecond) {
        return usageError(err,
                          "the click track would last " + clockTime(untilLastRowEnds)
                              + ", longer than a WAV file holds; choose its length with --seconds");
    }
    const std::int64_t frames =
        options.wavFrames.value_or(untilLastRowEnds * audio::kFramesPerMillisecond);

    // Opened before the table is written: a track that cannot be written at all is an
    // error before any output.
    std::unique_ptr<TrackOutput> track;
    if (options.wavPath) {
        try {
            track = options.wavToStandardOutput() ? openStandardOutput()
                                                  : openTrackFile(*options.wavPath);
        } catch (const FileError& error) {
            return notWritten(err, error, trackOnStandardOutput);
        }
    }
    if (!trackOnStandardOutput) {
        if (options.csv)
            writeCsv(out, rows);
        else
            writeTable(out, plan, rows);
        if (track && !options.csv)
            writeTrackLength(out, plan, frames, options.wavFrames ? nullptr : &rows.back());
        if (const int status = flushed(out, err); status != kDone)
            return status;
    }
    return track ? writeTrack(plan, *track, frames, options, trackOnStandardOutput, console)
                 : kDone;
}

}  // namespace tavro::plan
