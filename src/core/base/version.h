#pragma once

namespace plenvo {

inline constexpr const char* kCaption = "Video Scaler";
inline constexpr const char* kVersion = "v 1.42H";

}  // namespace plenvo
