#include "form1_fixture.h"

#include "trace_runner.h"
#include "trace_script.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

// One script played both by metronome-trace's headless window and, as a user would,
// on the real main window: the same engine must leave the same captions, beeps, check
// marks, interval and messages behind after every command and every expiry.
namespace {

namespace trace = tavro::trace;
using tavro::Box;
using tavro::Option;
using tavro::StatusLabel;
using tavro::VolumeItem;

const char* boxName(Box box)
{
    static const char* const names[] = {"length",   "intro",  "repeat", "startspeed",
                                        "maxspeed", "linear", "skip"};
    return names[static_cast<int>(box)];
}

const char* optionName(Option option)
{
    static const char* const names[] = {"fourfour", "threefour", "twofour", "inclinear",
                                        "incskip"};
    return names[static_cast<int>(option)];
}

const char* buttonName(trace::Button button)
{
    switch (button) {
    case trace::Button::Start: return "Command2";
    case trace::Button::Stop: return "Command3";
    case trace::Button::Pause: return "Command4";
    case trace::Button::Quit: return "Command1";
    }
    return "";
}

const char* volumeName(VolumeItem item)
{
    static const char* const names[] = {"mnuhigh", "mnumedium", "mnulow"};
    return names[static_cast<int>(item)];
}

std::vector<std::string> goldenScripts()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TAVRO_GOLDEN_DIR)) {
        if (entry.path().extension() == ".trace") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class WindowMatchesTrace : public Form1Test, public ::testing::WithParamInterface<std::string> {
protected:
    WindowMatchesTrace() : player(traceOut) {}

    void expectSameState(const std::string& where) const
    {
        const trace::HeadlessWindow& headless = player.window();
        std::vector<QString> captions;
        for (StatusLabel which : {StatusLabel::Speed, StatusLabel::Bar, StatusLabel::BarTotal,
                                  StatusLabel::Beat, StatusLabel::Repeat,
                                  StatusLabel::RepeatTotal}) {
            captions.push_back(QString::fromStdString(headless.caption(which)));
        }
        EXPECT_EQ(status(), captions) << where;
        EXPECT_EQ(static_cast<std::uint64_t>(beeps), headless.beepsSounded()) << where;
        EXPECT_EQ(volumeChecks(), (std::vector<bool>{headless.volumeChecked(VolumeItem::High),
                                                     headless.volumeChecked(VolumeItem::Medium),
                                                     headless.volumeChecked(VolumeItem::Low)}))
            << where;
        EXPECT_EQ(form.timer1().interval(), headless.timerInterval()) << where;
        for (int b = 0; b < 7; ++b) {
            EXPECT_EQ(boxText(boxName(static_cast<Box>(b))).toStdString(),
                      headless.boxText(static_cast<Box>(b)))
                << where;
        }
    }

    // Plays one command on the window; false once the program has ended.
    bool playOnWindow(const trace::Command& command, int line, bool traceShowedMessage)
    {
        const std::string where = "command " + std::to_string(line);
        if (const auto* text = std::get_if<trace::TypeText>(&command)) {
            type(boxName(text->box), QString::fromStdString(text->value));
        } else if (const auto* option = std::get_if<trace::TurnOptionOn>(&command)) {
            click(optionName(option->option));
        } else if (const auto* volume = std::get_if<trace::ChooseVolume>(&command)) {
            item(volumeName(volume->item))->trigger();
        } else if (const auto* button = std::get_if<trace::ClickButton>(&command)) {
            const SeenBox seen = answerMessageBoxDuring([&] { click(buttonName(button->button)); });
            EXPECT_EQ(seen.shown, traceShowedMessage) << where;
            if (seen.shown) {
                EXPECT_EQ(lastTraceMessage(), form.windowOps().lastMessageText()) << where;
            }
            if (button->button == trace::Button::Quit) {
                EXPECT_FALSE(form.isVisible());
                return false;
            }
        }
        return true;
    }

    std::size_t traceMessages() const
    {
        const std::string out = traceOut.str();
        std::size_t count = 0;
        for (std::size_t at = out.find("message \""); at != std::string::npos;
             at = out.find("message \"", at + 1)) {
            if (at == 0 || out[at - 1] == '\n') {
                ++count;
            }
        }
        return count;
    }

    // The text of the trace's last message line, with its escapes undone.
    std::string lastTraceMessage() const
    {
        const std::string out = traceOut.str();
        const std::size_t start = out.rfind("message \"") + 9;
        std::string text;
        for (std::size_t i = start; i < out.size() && out[i] != '"'; ++i) {
            if (out[i] == '\\' && i + 1 < out.size()) {
                const char next = out[++i];
                text += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                text += out[i];
            }
        }
        return text;
    }

    std::ostringstream traceOut;
    trace::TracePlayer player;
};

TEST_P(WindowMatchesTrace, TickByTick)
{
    std::ifstream file(std::string(TAVRO_GOLDEN_DIR) + "/" + GetParam() + ".trace");
    std::stringstream script;
    script << file.rdbuf();
    const trace::ParsedScript parsed = trace::parseScript(script.str());
    ASSERT_FALSE(parsed.error.has_value());

    int line = 0;
    for (const trace::Command& command : parsed.commands) {
        ++line;
        if (const auto* expiries = std::get_if<trace::TimerExpiries>(&command)) {
            for (std::uint32_t i = 0; i < expiries->count; ++i) {
                player.play(trace::TimerExpiries{1});
                tick();
                expectSameState("command " + std::to_string(line) + " expiry " +
                                std::to_string(i + 1));
            }
            continue;
        }
        const std::size_t messagesBefore = traceMessages();
        const bool traceGoesOn = player.play(command);
        const bool windowGoesOn =
            playOnWindow(command, line, traceMessages() > messagesBefore);
        EXPECT_EQ(windowGoesOn, traceGoesOn);
        if (!traceGoesOn) {
            break;
        }
        expectSameState("command " + std::to_string(line));
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, WindowMatchesTrace, ::testing::ValuesIn(goldenScripts()),
                         [](const auto& info) { return info.param; });

}  // namespace
