#include "plan/plan_options.h"

#include "audio/click_schedule.h"
#include "plan/shell_quoting.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

namespace tavro::plan {

namespace {

struct BoxOption {
    std::string_view name;
    Box box;
    std::string_view meaning;
};

constexpr std::array<BoxOption, 7> kBoxOptions{{
    {"--length", Box::Length, "bars in the piece"},
    {"--intro", Box::Intro, "introduction bars before every pass"},
    {"--repeat", Box::Repeat, "passes at each speed"},
    {"--start", Box::StartSpeed, "starting speed, beats per minute"},
    {"--max", Box::MaxSpeed, "maximum speed, beats per minute"},
    {"--linear", Box::Linear, "linear increase, beats per minute"},
    {"--skip", Box::Skip, "skip increase, beats per minute"},
}};

template <typename Value>
using Choices = std::array<std::pair<std::string_view, Value>, 3>;

constexpr Choices<Option> kTimes{
    {{"4/4", Option::FourFour}, {"3/4", Option::ThreeFour}, {"2/4", Option::TwoFour}}};
constexpr std::array<std::pair<std::string_view, Option>, 2> kIncreases{
    {{"linear", Option::IncLinear}, {"skip", Option::IncSkip}}};
constexpr Choices<VolumeItem> kVolumes{
    {{"high", VolumeItem::High}, {"medium", VolumeItem::Medium}, {"low", VolumeItem::Low}}};

template <typename Table, typename Value>
std::string_view nameOf(const Table& table, Value value)
{
    for (const auto& [name, item] : table) {
        if (item == value)
            return name;
    }
    return "";
}

template <typename Table, typename Value>
bool choose(const Table& table, std::string_view text, Value& out)
{
    for (const auto& [name, item] : table) {
        if (name == text) {
            out = item;
            return true;
        }
    }
    return false;
}

template <typename Table>
std::string namesOf(const Table& table)
{
    std::string names;
    for (const auto& [name, item] : table)
        names += (names.empty() ? "" : "|") + std::string(name);
    return names;
}

std::optional<std::int64_t> wholeNumber(std::string_view text, std::int64_t lowest,
                                        std::int64_t highest)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest
        || value > highest)
        return std::nullopt;
    return value;
}

std::optional<double> secondsIn(std::string_view text)
{
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return seconds;
}

// Seconds as frames of the click track: a positive number of seconds up to the most a
// WAV file holds, to the nearest frame, and so at least half a frame.
std::optional<std::int64_t> secondsAsFrames(std::string_view text)
{
    const std::optional<double> seconds = secondsIn(text);
    if (!seconds || !(*seconds > 0) || *seconds > double(kMaxSeconds))
        return std::nullopt;
    const std::int64_t frames = std::llround(*seconds * audio::kSampleRate);
    if (frames < 1)
        return std::nullopt;
    return frames;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args)
        : args_(args)
    {
    }

    ParsedOptions run()
    {
        ParsedOptions parsed;
        for (next_ = 0; next_ < args_.size() && parsed.error.empty();)
            parsed.error = take(parsed.options);
        if (parsed.error.empty() && parsed.options.wavFrames && !parsed.options.wavPath)
            parsed.error = "--seconds needs --wav";
        return parsed;
    }

private:
    // Reads the next option; gives why it is wrong, or nothing.
    std::string take(PlanOptions& options)
    {
        std::string_view arg = args_[next_++];
        if (optionsEnded_ || !arg.starts_with("-") || arg == "-")
            return "unexpected argument " + shellQuoted(arg);
        if (arg == "--") {
            optionsEnded_ = true;
            return "";
        }
        if (arg == "-h")
            arg = "--help";
        std::optional<std::string_view> inlineValue;
        if (const auto equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
            inlineValue = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        if (arg == "--csv" || arg == "--help" || arg == "--version") {
            if (inlineValue)
                return "option '" + std::string(arg) + "' takes no value";
            (arg == "--csv"    ? options.csv
             : arg == "--help" ? options.help
                               : options.version) = true;
            return "";
        }
        if (!isValued(arg))
            return "unknown option " + shellQuoted(arg);
        if (!inlineValue && next_ == args_.size())
            return "option '" + std::string(arg) + "' needs a value";
        const std::string_view value =
            inlineValue ? *inlineValue : std::string_view(args_[next_++]);
        if (!apply(arg, value, options))
            return "bad value " + shellQuoted(value) + " for " + std::string(arg)
                   + expected(arg, value);
        return "";
    }

    static bool isValued(std::string_view arg)
    {
        for (const BoxOption& option : kBoxOptions) {
            if (option.name == arg)
                return true;
        }
        return arg == "--time" || arg == "--increase" || arg == "--volume" || arg == "--steps"
               || arg == "--wav" || arg == "--seconds";
    }

    static bool apply(std::string_view arg, std::string_view value, PlanOptions& options)
    {
        for (const BoxOption& option : kBoxOptions) {
            if (option.name == arg) {
                options.settings.text(option.box) = std::string(value);
                return true;
            }
        }
        if (arg == "--time")
            return choose(kTimes, value, options.settings.timing);
        if (arg == "--increase")
            return choose(kIncreases, value, options.settings.increase);
        if (arg == "--volume")
            return choose(kVolumes, value, options.settings.volume);
        if (arg == "--steps")
            return (options.steps = wholeNumber(value, 1, kMaxSteps)).has_value();
        if (arg == "--seconds")
            return (options.wavFrames = secondsAsFrames(value)).has_value();
        options.wavPath = std::string(value);  // --wav
        return !value.empty();
    }

    static std::string expected(std::string_view arg, std::string_view value)
    {
        if (arg == "--time")
            return " (" + namesOf(kTimes) + ")";
        if (arg == "--increase")
            return " (" + namesOf(kIncreases) + ")";
        if (arg == "--volume")
            return " (" + namesOf(kVolumes) + ")";
        if (arg == "--steps")
            return " (a whole number from 1 to " + std::to_string(kMaxSteps) + ")";
        // In range, and still refused: it rounds to no frame.
        const std::optional<double> seconds = secondsIn(value);
        if (arg == "--seconds" && seconds > 0.0 && seconds <= double(kMaxSeconds))
            return " (shorter than one sample of the track, 1/" + std::to_string(audio::kSampleRate)
                   + " of a second)";
        if (arg == "--seconds")
            return " (more than 0, at most " + std::to_string(kMaxSeconds) + ")";
        return " (a file name)";
    }

    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    bool optionsEnded_ = false;  // by `--`
};

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) { return Parser(args).run(); }

std::string helpText()
{
    const WindowSettings defaults;
    std::string text =
        "Usage: tavro-plan [OPTION]...\n"
        "Show the speed steps of a practice plan as the metronome plays it: when each\n"
        "speed begins, when the maximum is reached, and the plan's click track.\n"
        "\n"
        "The plan (each option takes the text you would type into the window's box;\n"
        "defaults, in brackets, are the window's):\n";
    const auto line = [&text](std::string option, std::string_view meaning) {
        option.resize(28, ' ');
        text += "  " + option + std::string(meaning) + "\n";
    };
    const auto withDefault = [](std::string_view meaning, std::string_view value) {
        return std::string(meaning) + " [" + std::string(value) + "]";
    };
    for (const BoxOption& option : kBoxOptions)
        line(std::string(option.name) + " TEXT",
             withDefault(option.meaning, defaults.text(option.box)));
    line("--time " + namesOf(kTimes),
         withDefault("time signature", nameOf(kTimes, defaults.timing)));
    line("--increase " + namesOf(kIncreases),
         withDefault("kind of speed step", nameOf(kIncreases, defaults.increase)));
    line("--volume " + namesOf(kVolumes),
         withDefault("beeps per click in the track", nameOf(kVolumes, defaults.volume)));
    text += "\nOutput:\n";
    line("--steps N", "exactly N rows, else up to the maximum");
    line("--csv", "the rows as CSV instead of the table");
    line("--wav FILE", "write the click track (WAV, 16-bit mono, 48 kHz);");
    line("", "FILE - is standard output, instead of the table");
    line("--seconds S", "its length, else until the last row's passes end");
    line("-h, --help", "show this help");
    line("--version", "show the version");
    text += "\n"
            "Exit status: 0 done, 1 the click track or standard output could not be\n"
            "written, 2 settings START refuses (its message on standard error) or a bad\n"
            "command line.\n"
            "Full documentation: man tavro-plan\n";
    return text;
}

}  // namespace tavro::plan
