#include "form1_fixture.h"

#include "trace_names.h"
#include "trace_quote.h"
#include "trace_runner.h"
#include "trace_script.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

// One script played both by metronome-trace's headless window and, as a user would,
// on the real main window: the same engine must leave the same captions, beeps, check
// marks, interval, box texts and messages behind after every command and every expiry.
namespace {

namespace trace = tavro::trace;
using tavro::StatusLabel;
using tavro::VolumeItem;

// The scripts name the boxes, option buttons and Volume items after their controls.
template <class Names, class Enum>
std::string controlName(const Names& names, Enum value)
{
    return std::string(trace::nameOf(names, value));
}

std::vector<std::string> goldenScripts()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TAVRO_GOLDEN_DIR))
        if (entry.path().extension() == ".trace")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class WindowMatchesTrace : public Form1Test, public ::testing::WithParamInterface<std::string> {
protected:
    void expectSameState(const std::string& where) const
    {
        const tavro::HeadlessWindow& headless = player.window();
        std::vector<QString> captions;  // in the order of StatusLabel, as status() gives them
        for (int label = 0; label < 6; ++label)
            captions.push_back(QString::fromStdString(headless.caption(StatusLabel(label))));
        EXPECT_EQ(status(), captions) << where;
        EXPECT_EQ(static_cast<std::uint64_t>(beeps), headless.beepsSounded()) << where;
        EXPECT_EQ(volumeChecks(), (std::vector<bool>{headless.volumeChecked(VolumeItem::High),
                                                     headless.volumeChecked(VolumeItem::Medium),
                                                     headless.volumeChecked(VolumeItem::Low)}))
            << where;
        EXPECT_EQ(form.timer1().interval(), headless.timerInterval()) << where;
        for (const auto& [box, name] : trace::kBoxNames)
            EXPECT_EQ(boxText(std::string(name).c_str()).toStdString(), headless.boxText(box))
                << where << ", box " << name;
    }

    // Plays one command on the window as a user would; `traced` is what the trace
    // printed for it. False once the program has ended.
    bool playOnWindow(const trace::Command& command, const std::string& traced,
                      const std::string& where)
    {
        if (const auto* text = std::get_if<trace::TypeText>(&command)) {
            type(controlName(trace::kBoxNames, text->box).c_str(),
                 QString::fromStdString(text->value));
        } else if (const auto* option = std::get_if<trace::TurnOptionOn>(&command)) {
            click(controlName(trace::kOptionNames, option->option).c_str());
        } else if (const auto* volume = std::get_if<trace::ChooseVolume>(&command)) {
            item(("mnu" + controlName(trace::kVolumeNames, volume->item)).c_str())->trigger();
        } else if (const auto* button = std::get_if<trace::ClickButton>(&command)) {
            const char* names[] = {"Command2", "Command3", "Command4", "Command1"};
            const SeenBox seen =
                answerMessageBoxDuring([&] { click(names[static_cast<int>(button->button)]); });
            EXPECT_EQ(seen.shown, ("\n" + traced).find("\nmessage ") != std::string::npos) << where;
            if (seen.shown) {
                EXPECT_TRUE(seen.plainOk) << where;
                // The box shows each carriage return of a message as a line break.
                const std::string message = QString(seen.text).replace('\n', '\r').toStdString();
                EXPECT_NE(traced.find("message " + trace::quoteText(message) + " title "
                                      + trace::quoteText(seen.title.toStdString())),
                          std::string::npos)
                    << where << '\n'
                    << traced;
            }
            if (button->button == trace::Button::Quit) {
                EXPECT_FALSE(form.isVisible());
                return false;
            }
        }
        return true;
    }

    std::ostringstream traceOut;
    trace::TracePlayer player{traceOut};
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
        const std::string where = "command " + std::to_string(++line);
        if (const auto* expiries = std::get_if<trace::TimerExpiries>(&command)) {
            for (std::uint32_t i = 0; i < expiries->count; ++i) {
                player.play(trace::TimerExpiries{1});
                tick();
                expectSameState(where + " expiry " + std::to_string(i + 1));
            }
            continue;
        }
        const std::size_t before = traceOut.str().size();
        const bool traceGoesOn = player.play(command);
        EXPECT_EQ(playOnWindow(command, traceOut.str().substr(before), where), traceGoesOn);
        if (!traceGoesOn)
            break;
        expectSameState(where);
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, WindowMatchesTrace, ::testing::ValuesIn(goldenScripts()),
                         [](const auto& info) { return info.param; });

}  // namespace
