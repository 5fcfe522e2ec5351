#pragma once
// Half-Life's water: a texture whose name starts with "!" is drawn as water, and the engine takes
// the fog under its surface from the texture's own palette: entry 3 is the fog's colour and the
// first byte of entry 4 its density.

#include "images/picture_import.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

struct WaterFog {
    std::uint8_t red = 0, green = 0, blue = 0, density = 0;
};

constexpr std::size_t kFogColourEntry = 3;
constexpr std::size_t kFogDensityEntry = 4;

bool isWaterTexture(const std::string& name);

// Puts fog into a texture with its own palette (colours, at most 256) without changing how any
// pixel looks: the pixels leave entries 3 and 4 to the fog. Where the texture used more than 254
// colours, the two it used least are drawn with the nearest of the others.
void reserveFogEntries(MipImages& levels, std::vector<std::array<std::uint8_t, 3>>& colours,
                       const WaterFog& fog);

} // namespace vexa
