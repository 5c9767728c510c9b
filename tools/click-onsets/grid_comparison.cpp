#include "grid_comparison.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tavro::onsets {

namespace {

constexpr std::size_t kFindingsKept = 20;

void note(Comparison& result, Finding finding)
{
    if (result.findings.size() < kFindingsKept)
        result.findings.push_back(finding);
}

// Slope of the least-squares line through (x, y), in parts per million.
double slopePpm(const std::vector<double>& x, const std::vector<double>& y)
{
    if (x.size() < 2)
        return 0;
    double meanX = 0;
    double meanY = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        meanX += x[i];
        meanY += y[i];
    }
    meanX /= double(x.size());
    meanY /= double(y.size());
    double covariance = 0;
    double variance = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        covariance += (x[i] - meanX) * (y[i] - meanY);
        variance += (x[i] - meanX) * (x[i] - meanX);
    }
    return variance > 0 ? covariance / variance * 1e6 : 0;
}

}  // namespace

Comparison compareWithGrid(const std::vector<std::int64_t>& onsets,
                           const std::vector<ExpectedBeat>& beats, const ComparisonRule& rule)
{
    Comparison result;
    result.found = onsets.size();
    if (rule.alignOnset >= onsets.size() || rule.firstBeat >= beats.size())
        return result;

    const std::int64_t first = onsets[rule.alignOnset];
    const std::int64_t offset = first - msToFrames(beats[rule.firstBeat].ms, rule.sampleRate);
    // A beat is judged only when its whole window lies inside the recording.
    const std::int64_t lastJudged = rule.recordingFrames - rule.windowFrames - 1;
    std::vector<double> positions;
    std::vector<double> deviations;
    std::size_t next = 0;  // the first onset not yet taken
    bool beatsLeft = false;
    for (std::size_t b = 0; b < beats.size(); ++b) {
        const std::int64_t at = offset + msToFrames(beats[b].ms, rule.sampleRate);
        if (at < rule.windowFrames)
            continue;  // before the recording began
        if (at > lastJudged) {
            beatsLeft = true;
            break;
        }
        ++result.expected;
        for (; next < onsets.size() && onsets[next] < at - rule.windowFrames; ++next) {
            ++result.extra;
            note(result, {0, onsets[next], 0, false});
        }
        if (next == onsets.size() || onsets[next] > at + rule.windowFrames) {
            ++result.missing;
            note(result, {beats[b].tick, at, 0, true});
            continue;
        }
        const std::int64_t deviation = onsets[next++] - at;
        ++result.matched;
        result.maxDeviation = std::max(result.maxDeviation, std::abs(deviation));
        result.lastDeviation = deviation;
        result.deviations.push_back(deviation);
        if (deviation > rule.lateFrames)
            ++result.late;
        if (deviation < -rule.lateFrames)
            ++result.early;
        if (std::abs(deviation) > rule.toleranceFrames)
            note(result, {beats[b].tick, at + deviation, deviation, false});
        positions.push_back(double(at - first));
        deviations.push_back(double(deviation));
    }
    if (!beatsLeft) {
        // Onsets after the last beat may belong to beats the trace did not reach.
        result.gridTooShort = next < onsets.size();
        next = onsets.size();
    }
    // Onsets left over are extra unless a beat past the judged part could own them.
    for (; next < onsets.size() && onsets[next] <= lastJudged - rule.windowFrames; ++next) {
        ++result.extra;
        note(result, {0, onsets[next], 0, false});
    }
    result.driftPpm = slopePpm(positions, deviations);
    return result;
}

std::vector<Finding> spacingFaults(const std::vector<std::int64_t>& onsets,
                                   const std::vector<ExpectedBeat>& beats,
                                   const ComparisonRule& rule)
{
    std::vector<Finding> faults;
    if (rule.alignOnset >= onsets.size() || rule.firstBeat >= beats.size())
        return faults;
    std::int64_t previous = onsets[rule.alignOnset];
    std::size_t next = rule.alignOnset + 1;
    for (std::size_t b = rule.firstBeat + 1; b < beats.size(); ++b) {
        const std::int64_t spacing = msToFrames(beats[b].ms - beats[b - 1].ms, rule.sampleRate);
        const std::int64_t due = previous + spacing;
        const std::int64_t reach = std::max(rule.windowFrames, spacing / 4);
        if (due + reach >= rule.recordingFrames)
            break;
        while (next < onsets.size() && onsets[next] < due - reach)
            ++next;
        if (next == onsets.size() || onsets[next] > due + reach) {
            faults.push_back({beats[b].tick, due, 0, true});
            previous = due;
            continue;
        }
        // Of the onsets in reach, the one nearest to where the beat was due.
        std::size_t best = next;
        for (std::size_t o = next + 1; o < onsets.size() && onsets[o] <= due + reach; ++o)
            if (std::abs(onsets[o] - due) < std::abs(onsets[best] - due))
                best = o;
        const std::int64_t error = onsets[best] - due;
        if (std::abs(error) > rule.toleranceFrames)
            faults.push_back({beats[b].tick, onsets[best], error, false});
        previous = onsets[best];
        next = best + 1;
    }
    return faults;
}

ComparisonRule bestAlignment(const std::vector<std::int64_t>& onsets,
                             const std::vector<ExpectedBeat>& beats, ComparisonRule rule,
                             std::size_t candidates)
{
    ComparisonRule best = rule;
    std::size_t fewestFaults = SIZE_MAX;
    std::size_t mostMatched = 0;
    const std::size_t firstBeat = rule.firstBeat;
    for (std::size_t onset = 0; onset < std::min(candidates, onsets.size()); ++onset) {
        for (std::size_t beat = firstBeat; beat < std::min(firstBeat + candidates, beats.size());
             ++beat) {
            rule.alignOnset = onset;
            rule.firstBeat = beat;
            // Onsets and beats passed over count as faults, so that a later start, which
            // walks fewer spacings, is not favoured for that alone.
            const std::size_t faults =
                spacingFaults(onsets, beats, rule).size() + onset + (beat - firstBeat);
            const std::size_t matched = compareWithGrid(onsets, beats, rule).matched;
            if (faults < fewestFaults || (faults == fewestFaults && matched > mostMatched)) {
                best = rule;
                fewestFaults = faults;
                mostMatched = matched;
            }
        }
    }
    return best;
}

}  // namespace tavro::onsets
