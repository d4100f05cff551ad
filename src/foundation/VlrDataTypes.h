#pragma once

// The result of almost every operation in the system: 0 for success, -1 for failure.
// The reason of a failure has already been logged where it was detected.
namespace VlrDataTypes {

using VlrRetVal = int;

inline constexpr VlrRetVal VLR_SUCCESS = 0;
inline constexpr VlrRetVal VLR_FAILURE = -1;

}  // namespace VlrDataTypes
