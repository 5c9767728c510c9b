#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Where every control of the main window's client area stands: the one table the window
// is built from, its test checks and the scripts that click the real window read (through
// the form1-geometry helper). Plain C++, so the helper needs no window to read it.
namespace tavro::ui {

// A control's place in twips. Left and Top are measured from the top-left corner of the
// client area (below the menu bar) whatever the container; a control inside a frame is
// placed relative to that frame.
struct Form1Placement {
    std::string_view name;       // the control's object name
    std::string_view container;  // kForm1Client, or the name of a frame of the client area
    int left;
    int top;
    int width;
    int height;
};

inline constexpr std::string_view kForm1Client = "client";
inline constexpr int kForm1ClientWidth = 6405;
inline constexpr int kForm1ClientHeight = 5490;

// The settings boxes other than maxspeed belong to the client area and lie over their
// frame.
inline constexpr auto kForm1Layout = std::to_array<Form1Placement>({
    {"Frame3", kForm1Client, 120, 120, 2895, 1575},  // Bar Information
    {"Label1", "Frame3", 600, 360, 855, 255},
    {"length", kForm1Client, 1560, 360, 495, 285},
    {"Label4", "Frame3", 2160, 360, 615, 255},
    {"Label2", "Frame3", 600, 840, 855, 255},
    {"intro", kForm1Client, 1560, 840, 495, 285},
    {"Label5", "Frame3", 2160, 840, 615, 255},
    {"Label3", "Frame3", 600, 1320, 855, 255},
    {"repeat", kForm1Client, 1560, 1320, 495, 285},
    {"Label6", "Frame3", 2160, 1320, 735, 255},

    {"Frame4", kForm1Client, 120, 1800, 2895, 1695},  // Beat Information
    {"Label10", "Frame4", 360, 2040, 1095, 255},
    {"startspeed", kForm1Client, 1560, 2040, 495, 285},
    {"Label7", "Frame4", 2160, 2040, 735, 255},
    {"Label18", "Frame4", 240, 2400, 1215, 255},
    {"maxspeed", "Frame4", 1560, 2400, 495, 285},
    {"Label8", "Frame4", 2160, 2400, 735, 255},
    {"Label12", "Frame4", 480, 2760, 975, 255},
    {"skip", kForm1Client, 1560, 2760, 495, 285},
    {"Label9", "Frame4", 2160, 2760, 735, 255},
    {"Label11", "Frame4", 360, 3120, 1095, 255},
    {"linear", kForm1Client, 1560, 3120, 495, 285},
    {"Label20", "Frame4", 2160, 3120, 735, 255},

    {"Frame1", kForm1Client, 3240, 120, 1575, 1575},  // Timing
    {"fourfour", "Frame1", 3480, 360, 1215, 255},
    {"threefour", "Frame1", 3480, 840, 1215, 255},
    {"twofour", "Frame1", 3480, 1320, 1095, 255},

    {"Frame2", kForm1Client, 3240, 1800, 1575, 1575},  // Increase Type
    {"inclinear", "Frame2", 3480, 2040, 1095, 375},
    {"incskip", "Frame2", 3480, 2520, 1215, 255},

    {"Frame5", kForm1Client, 120, 3600, 4695, 1815},  // Current Status
    {"Label13", "Frame5", 360, 3960, 855, 375},
    {"speedlabel", "Frame5", 1320, 3960, 735, 375},
    {"Label17", "Frame5", 2160, 3960, 1455, 375},
    {"Label15", "Frame5", 360, 4440, 855, 375},
    {"barlabel", "Frame5", 1320, 4440, 735, 375},
    {"Label16", "Frame5", 2160, 4440, 375, 255},
    {"bartotallabel", "Frame5", 2520, 4440, 735, 375},
    {"Label14", "Frame5", 240, 4920, 975, 375},
    {"repeatlabel", "Frame5", 1320, 4920, 735, 375},
    {"Label19", "Frame5", 2160, 4920, 375, 255},
    {"repeattotallabel", "Frame5", 2520, 4920, 735, 375},
    {"beatlabel", "Frame5", 3720, 4320, 735, 615},

    {"Command2", kForm1Client, 5040, 240, 1215, 615},   // START
    {"Command3", kForm1Client, 5040, 1080, 1215, 615},  // STOP
    {"Command4", kForm1Client, 5040, 1920, 1215, 615},  // PAUSE
    {"Command1", kForm1Client, 5040, 4680, 1215, 615},  // QUIT
});

// The named control's row of the table, or the table's size when it has no such control.
// An index rather than a pointer, so that it can be compared while compiling also in the
// sanitizer build (GCC does not fold a pointer compared with null there).
constexpr std::size_t form1PlacementIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
        if (kForm1Layout[i].name == name) {
            return i;
        }
    }
    return kForm1Layout.size();
}

// The named control's place, or nullptr when the table has no such control.
inline const Form1Placement* findForm1Placement(std::string_view name)
{
    const std::size_t i = form1PlacementIndex(name);
    return i < kForm1Layout.size() ? &kForm1Layout[i] : nullptr;
}

// Every container is the client area or a frame standing in the client area.
constexpr bool form1ContainersAreFrames()
{
    for (const Form1Placement& placement : kForm1Layout) {
        if (placement.container == kForm1Client) {
            continue;
        }
        const std::size_t frame = form1PlacementIndex(placement.container);
        if (frame == kForm1Layout.size() || kForm1Layout[frame].container != kForm1Client) {
            return false;
        }
    }
    return true;
}
static_assert(form1ContainersAreFrames());

}  // namespace tavro::ui
