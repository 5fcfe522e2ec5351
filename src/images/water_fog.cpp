#include "images/water_fog.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace vexa {

namespace {

constexpr std::size_t kFogEntries = 2;
constexpr std::size_t kRoomForPixels = kPaletteEntries - kFogEntries;

int squaredDistance(const std::array<std::uint8_t, 3>& a, const std::array<std::uint8_t, 3>& b) {
    int sum = 0;
    for (std::size_t c = 0; c < 3; ++c) {
        const int d = int{a[c]} - int{b[c]};
        sum += d * d;
    }
    return sum;
}

// Where each old entry goes: the fog entries are skipped, and where there is no room for every
// colour the least used ones go to their nearest kept colour.
struct NewPlaces {
    std::array<std::uint8_t, kPaletteEntries> place{};
    std::array<bool, kPaletteEntries> kept{};
};

NewPlaces newPlaces(const MipImages& levels, const std::vector<std::array<std::uint8_t, 3>>& colours) {
    std::array<std::uint64_t, kPaletteEntries> uses{};
    for (const auto& level : levels)
        for (const auto index : level.indices)
            ++uses[index];
    std::vector<std::size_t> order(colours.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // The most used first; a stable order keeps the result the same from run to run.
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return uses[a] > uses[b]; });
    NewPlaces out;
    auto& [place, kept] = out;
    for (std::size_t k = 0; k < order.size() && k < kRoomForPixels; ++k)
        kept[order[k]] = true;

    std::size_t next = 0;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (!kept[i]) continue;
        if (next == kFogColourEntry) next += kFogEntries;
        place[i] = static_cast<std::uint8_t>(next++);
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (kept[i]) continue;
        std::size_t nearest = 0;
        int best = std::numeric_limits<int>::max();
        for (std::size_t j = 0; j < colours.size(); ++j)
            if (kept[j] && squaredDistance(colours[i], colours[j]) < best) {
                best = squaredDistance(colours[i], colours[j]);
                nearest = j;
            }
        place[i] = place[nearest];
    }
    return out;
}

} // namespace

bool isWaterTexture(const std::string& name) {
    return !name.empty() && name.front() == '!';
}

void reserveFogEntries(MipImages& levels, std::vector<std::array<std::uint8_t, 3>>& colours,
                       const WaterFog& fog) {
    const auto [place, kept] = newPlaces(levels, colours);
    std::vector<std::array<std::uint8_t, 3>> moved(kFogDensityEntry + 1);
    for (std::size_t i = 0; i < colours.size() && i < kPaletteEntries; ++i) {
        if (!kept[i]) continue;
        if (place[i] >= moved.size()) moved.resize(place[i] + std::size_t{1});
        moved[place[i]] = colours[i];
    }
    moved[kFogColourEntry] = {fog.red, fog.green, fog.blue};
    moved[kFogDensityEntry] = {fog.density, 0, 0};
    for (auto& level : levels)
        for (auto& index : level.indices)
            index = place[index];
    colours = std::move(moved);
}

} // namespace vexa
