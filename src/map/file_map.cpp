#include "map/file_map.h"

#include <algorithm>
#include <cstring>

void FileMap::write_record(OverlayBlock& block) const {
    std::memset(block.map_flags, 0, sizeof block.map_flags);
    std::memset(block.map, 0, sizeof block.map);
    if (!on) return;
    block.map_flags[0] = 1;
    std::memcpy(block.map, classes.data(), std::min(classes.size(), sizeof block.map));
}
