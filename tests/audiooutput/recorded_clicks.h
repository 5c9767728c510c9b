#pragma once

#include "onsets.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavro::audio::testing {

// Where each click of a mono 16-bit recording begins, by the rule that click-onsets
// checks the end-to-end recordings with.
inline std::vector<std::int64_t> clickOnsets(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint16_t> level(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        level[i] = static_cast<std::uint16_t>(std::abs(int{samples[i]}));
    return onsets::findOnsets(level, onsets::OnsetRule{});
}

inline std::vector<std::int64_t> clickOnsets(const QByteArray& recording)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(recording.size() / 2));
    // Sample by sample: g++ 14 takes a memcpy from a QByteArray for one from its shared
    // empty array and warns.
    for (std::size_t i = 0; i < samples.size(); ++i)
        std::memcpy(&samples[i], recording.constData() + 2 * i, 2);
    return clickOnsets(samples);
}

}  // namespace tavro::audio::testing
