#pragma once

#include "metronome_state.h"
#include "window_ops.h"

namespace tavro {

// The metronome engine: the state and every handler that acts on it, written against
// WindowOps only. Each handler runs to completion; none is re-entered (a message box
// opened by a handler may let the window deliver timer expiries, which run
// Timer1_Timer between the handler's last state change and its return).
class Metronome {
public:
    explicit Metronome(WindowOps& window)
        : window_(window)
    {
    }

    // The window's load step, before it is first shown.
    void Form_Load();

    void Command2_Click();  // START: check the settings, then start a run
    void Command3_Click();  // STOP
    void Command4_Click();  // PAUSE / resume
    void Command1_Click();  // QUIT

    // One expiry of Timer1: one beat while running, nothing otherwise.
    void Timer1_Timer();

    // The Volume menu.
    void mnuhigh_Click();
    void mnumedium_Click();
    void mnulow_Click();

    const MetronomeState& state() const { return state_; }
    RunState runState() const;

private:
    void setVolume(VolumeItem item, int beeps);
    void takeSpeedStep();
    void applySkipProgram();
    void applyCap();
    void showStatus();

    WindowOps& window_;
    MetronomeState state_;
};

// The title of every refusal message box.
inline constexpr const char* kProblemTitle = "Houston - We have a Problem";

}  // namespace tavro
