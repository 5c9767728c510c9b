#include "random_texts.h"

#include <algorithm>
#include <array>

namespace tavro::randomuser {

namespace {

struct Bounds {
    int lower;
    int upper;
};

// The range START checks each box against, in Box order.
constexpr std::array<Bounds, 7> kBounds{
    {{1, 999}, {0, 8}, {1, 999}, {30, 250}, {60, 350}, {1, 40}, {10, 60}}};

int uniform(Rng& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

template <class T, std::size_t N>
const T& pick(Rng& rng, const std::array<T, N>& items)
{
    return items[static_cast<std::size_t>(uniform(rng, 0, int(N) - 1))];
}

// A bound, or just beside it, in one of the spellings the number reading must cope with.
QString nearBound(Rng& rng, Bounds bounds)
{
    static const std::array<double, 9> offsets{0, 0, 1, -1, 0.5, -0.5, 0.9, -0.1, 0.01};
    const double value = (uniform(rng, 0, 1) ? bounds.upper : bounds.lower) + pick(rng, offsets);
    const QString n = QString::number(value, 'g', 12);
    switch (uniform(rng, 0, 9)) {
    case 0: return QStringLiteral("  ") + n;
    case 1: return QStringLiteral("+") + n;
    case 2: return n + QStringLiteral(" bars");
    case 3: return n + QStringLiteral("e0");
    case 4: return QStringLiteral("00") + n;
    case 5: return n + QStringLiteral(".");
    case 6: return n.left(1) + QLatin1Char(' ') + n.mid(1);  // a space inside the number
    default: return n;
    }
}

QString huge(Rng& rng)
{
    constexpr int kLength = 100'000;
    switch (uniform(rng, 0, 5)) {
    case 0: return QString(kLength, QLatin1Char('9'));
    case 1: return QStringLiteral("1") + QString(kLength, QLatin1Char('0'));
    case 2: return QString(kLength, QLatin1Char(' ')) + QStringLiteral("60");
    case 3: return QStringLiteral("0.") + QString(kLength, QLatin1Char('3'));
    case 4: return QStringLiteral("1e") + QString(kLength, QLatin1Char('9'));
    default: {
        QString text(kLength, Qt::Uninitialized);
        for (QChar& c : text)
            c = QChar(uniform(rng, 0x20, 0x7e));
        return text;
    }
    }
}

QString nonAscii(Rng& rng)
{
    static const std::array<const char*, 14> texts{
        "\xef\xbc\x96\xef\xbc\x90",  // fullwidth 60
        "\xd9\xa3\xd9\xa0",          // Arabic-Indic 30
        "60\xc2\xb0", "\xc3\xa9", "\xf0\x9f\x98\x80", "60\xf0\x9f\x98\x80",
        "\xc3\x9f", "\xe2\x85\xab", "\xe2\x88\x92" "5",  // Roman twelve, a minus sign
        "60\xe2\x80\x8b", "6\xcc\x81" "0", "\xe2\x80\xae" "06", "\xef\xbb\xbf" "4",
        "\xe4\xb8\x89\xe5\x8d\x81"};
    return QString::fromUtf8(pick(rng, texts));
}

QString controlCharacters(Rng& rng)
{
    static const std::array<char16_t, 9> controls{u'\t', u'\n', u'\r', 1, 27, 127, 0, 8, 0x85};
    QString text;
    for (int i = uniform(rng, 1, 6); i > 0; --i)
        text += uniform(rng, 0, 1) ? QChar(pick(rng, controls)) : QChar(u'0' + uniform(rng, 0, 9));
    return text;
}

QString garbage(Rng& rng)
{
    static const QString kChars = QStringLiteral("0123456789.+-eE ,x");
    QString text;
    for (int i = uniform(rng, 0, 12); i > 0; --i)
        text += kChars[uniform(rng, 0, int(kChars.size()) - 1)];
    return text;
}

}  // namespace

QString randomBoxText(Rng& rng, Box box)
{
    const Bounds bounds = kBounds[static_cast<std::size_t>(box)];
    const int kind = uniform(rng, 0, 99);
    if (kind < 40)
        return nearBound(rng, bounds);
    if (kind < 65)
        return QString::number(uniform(rng, bounds.lower, bounds.upper));
    if (kind < 70)
        return {};
    if (kind < 73)
        return huge(rng);
    if (kind < 81)
        return nonAscii(rng);
    if (kind < 89)
        return controlCharacters(rng);
    return garbage(rng);
}

std::array<QString, 7> acceptedSettings(Rng& rng)
{
    const int start = uniform(rng, 30, 249);
    const int linear = uniform(rng, 1, 39);
    auto n = [](int value) { return QString::number(value); };
    return {n(uniform(rng, 1, 3)), n(uniform(rng, 0, 2)),       n(uniform(rng, 1, 2)),
            n(start),              n(uniform(rng, std::max(start + 1, 60), 350)), n(linear),
            n(uniform(rng, std::max(linear + 1, 10), 60))};
}

}  // namespace tavro::randomuser
