#pragma once
// Half-Life maps (BSP version 30): Quake's map layout, read by its code, with each texture's own
// palette; a texture the map only names (its offsets 0) is listed as external.

#include "formats/Q1_Bsp.h"

namespace vexa {

class THLBspReader : public TQ1BspReader {
  public:
    THLBspReader() : TQ1BspReader(true) {}
};

extern const ContainerKind kHLBspKind;

} // namespace vexa
