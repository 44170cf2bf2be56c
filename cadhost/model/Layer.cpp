#include "cadhost/model/Layer.h"

#include <algorithm>
#include <array>

namespace cadhost {

bool Layer::isValidLineweight(int value) {
    static constexpr std::array<int, 25> kWeights = {-3,  0,   5,   9,   13,  15,  18, 20, 25,
                                                     30,  35,  40,  50,  53,  60,  70, 80, 90,
                                                     100, 106, 120, 140, 158, 200, 211};
    return std::find(kWeights.begin(), kWeights.end(), value) != kWeights.end();
}

} // namespace cadhost
