// The watch list's 16 x 16 images, shared by the list and its header.
#pragma once

namespace qs {

class ImageList;

inline constexpr int kImageBlank = 0;
inline constexpr int kImageUnchecked = 1;
inline constexpr int kImageChecked = 2;
inline constexpr int kImageFolder = 3;

// Fills `images` (expected empty) with the four images above, in that order.
void LoadListImages(ImageList& images);

}  // namespace qs
