// Prints where the main window's client area and each of its controls stand, in pixels
// of the client area, one per line: "name left top width height". The first line is the
// client area itself ("client 0 0 width height"). Scripts that click the real window
// read their positions here instead of keeping a copy of the layout.
#include "mainwindow/form1_layout.h"
#include "toolkit/twips.h"

#include <cstdio>
#include <string_view>

namespace {

void print(std::string_view name, int left, int top, int width, int height)
{
    const QRect at = tavro::ui::twipsRect(left, top, width, height);
    std::printf("%.*s %d %d %d %d\n", static_cast<int>(name.size()), name.data(), at.left(),
                at.top(), at.width(), at.height());
}

}  // namespace

int main()
{
    using namespace tavro::ui;
    print(kForm1Client, 0, 0, kForm1ClientWidth, kForm1ClientHeight);
    for (const Form1Placement& p : kForm1Layout) {
        print(p.name, p.left, p.top, p.width, p.height);
    }
    return 0;
}
