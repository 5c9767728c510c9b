#include "onsets.h"

namespace tavro::onsets {

std::vector<std::int64_t> findOnsets(const std::vector<std::uint16_t>& level, OnsetRule rule)
{
    std::vector<std::int64_t> onsets;
    std::int64_t quiet = 0;  // quiet frames in a row just before the current one
    for (std::size_t f = 0; f < level.size(); ++f) {
        if (level[f] <= rule.threshold) {
            ++quiet;
            continue;
        }
        if (quiet >= rule.silenceFrames)
            onsets.push_back(std::int64_t(f));
        quiet = 0;
    }
    return onsets;
}

}  // namespace tavro::onsets
