#include "formats/HL_Bsp.h"

namespace vexa {

const ContainerKind kHLBspKind{
    .code = ContainerType::HLBsp,
    .name = "Half-Life BSP",
    .signatures = {std::string_view("\x1E\0\0\0", 4)},
    .createReader = readerOf<THLBspReader>,
};

} // namespace vexa
