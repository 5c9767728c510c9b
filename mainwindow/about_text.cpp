#include "mainwindow/about_text.h"

#include "help/about_info.h"

namespace tavro {

std::string aboutText()
{
    // Put together piece by piece in the order the box has always been built in.
    constexpr char cr = '\r';
    std::string text = "Tavro Metronome";
    text += cr;
    text += about::kAuthorshipLine;
    text += cr;
    text += about::kRightsNotice;
    text += cr;
    text += cr;
    text += "Email:";
    text += cr;
    text += about::kEmailPrimary;
    text += cr;
    text += about::kEmailSecondary;
    text += cr;
    text += cr;
    text += "Webpage:";
    text += cr;
    text += about::kWebPage;
    return text;
}

}  // namespace tavro
