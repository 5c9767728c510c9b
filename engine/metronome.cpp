#include "metronome.h"

namespace tavro {

namespace {
constexpr const char* kPauseWhileStopped = "You can't Pause while stopped!";
}

void Metronome::Form_Load()
{
    state_.running = false;
    state_.beepcount = 8;
    state_.skipcount = 0;
    state_.stopped = true;
    state_.repeatcount = 1;
}

void Metronome::Command3_Click()
{
    state_.running = false;
    state_.skipcount = 0;
    state_.repeatcount = 1;
    state_.stepphase = 1;
    state_.stopped = true;
}

void Metronome::Command4_Click()
{
    if (state_.stopped) {
        window_.messageBox(kPauseWhileStopped, kProblemTitle);
        return;
    }
    // The timer is left alone: after a resume the next beat falls on its next
    // regular expiry, and the counters carry on where they stood.
    state_.running = !state_.running;
}

void Metronome::Command1_Click() { window_.endProgram(); }

void Metronome::mnuhigh_Click() { setVolume(VolumeItem::High, 15); }
void Metronome::mnumedium_Click() { setVolume(VolumeItem::Medium, 8); }
void Metronome::mnulow_Click() { setVolume(VolumeItem::Low, 2); }

void Metronome::setVolume(VolumeItem item, int beeps)
{
    window_.setVolumeChecked(VolumeItem::High, item == VolumeItem::High);
    window_.setVolumeChecked(VolumeItem::Medium, item == VolumeItem::Medium);
    window_.setVolumeChecked(VolumeItem::Low, item == VolumeItem::Low);
    state_.beepcount = beeps;
}

RunState Metronome::runState() const
{
    if (state_.stopped)
        return RunState::Stopped;
    return state_.running ? RunState::Running : RunState::Paused;
}

}  // namespace tavro
