// The checksums inside RAR 4 and RAR 5 volumes, checked before extraction: libarchive 3.6 does
// not check the data of a file that runs on from one volume into the next, so a damaged byte
// there would be extracted silently.
#pragma once

#include <string>
#include <vector>

namespace qs {

// Walks every volume's blocks and checks each file header's CRC, the data CRC of every part of
// a split file and the whole-file CRC of stored files. Compressed data is left to the reader
// that decompresses it. Empty when all is well or the volumes are no RAR volumes this walk
// knows (then the reader judges them); otherwise one line naming the volume and what is wrong.
std::string CheckRarChecksums(const std::vector<std::string>& volumes);

}  // namespace qs
