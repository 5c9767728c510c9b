#include "plan/plan_command.h"

#include "audio/click_schedule.h"
#include "generated/project_info.h"
#include "plan/click_track.h"
#include "plan/plan_options.h"
#include "plan/plan_report.h"
#include "plan/replacing_file.h"
#include "plan/speed_plan.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace tavro::plan {

namespace {

constexpr int kDone = 0;
constexpr int kNotWritten = 1;
constexpr int kRefused = 2;  // by START, or a bad command line

// "writing FILE: 42%" on one line of `err`, rewritten in place, once writing has taken
// longer than a second; shorter writes show nothing.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, std::string file, std::int64_t total)
        : err_(err),
          file_(std::move(file)),
          total_(total)
    {
    }

    void update(std::int64_t done)
    {
        const auto now = Clock::now();
        if (now - began_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(200))
            return;
        shown_ = now;
        err_ << "\rwriting " << file_ << ": " << done * 100 / total_ << '%' << std::flush;
    }

    // Ends the line, if one was begun, after `done` frames.
    void end(std::int64_t done)
    {
        if (shown_ == Clock::time_point())
            return;
        err_ << "\rwriting " << file_ << ": " << done * 100 / total_ << "%\n" << std::flush;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    std::string file_;
    std::int64_t total_;
    Clock::time_point began_ = Clock::now();
    Clock::time_point shown_;
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

int writeTrack(SpeedPlan& plan, const std::string& path, std::int64_t frames, std::ostream& err)
{
    ProgressLine progress(err, path, frames);
    std::int64_t written = 0;
    try {
        ReplacingFile file(path);
        writeClickTrack(plan, plan.started().beepcount, frames, file, [&](std::int64_t done) {
            written = done;
            progress.update(done);
        });
        file.commit();
    } catch (const FileError& error) {
        progress.end(written);
        err << "tavro-plan: " << error.what() << '\n';
        return kNotWritten;
    }
    progress.end(written);
    return kDone;
}

}  // namespace

int runPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty())
        return usageError(err, parsed.error);
    const PlanOptions& options = parsed.options;
    if (options.help) {
        out << helpText();
        return kDone;
    }
    if (options.version) {
        out << "tavro-plan " << project::kVersion << '\n';
        return kDone;
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

    if (options.csv)
        writeCsv(out, rows);
    else
        writeTable(out, plan, rows);
    if (!out.flush()) {
        err << "tavro-plan: cannot write standard output\n";
        return kNotWritten;
    }
    return options.wavPath ? writeTrack(plan, *options.wavPath, frames, err) : kDone;
}

}  // namespace tavro::plan
