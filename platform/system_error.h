// Windows system error numbers, which the scan engine's interfaces report on every platform
// so that callers and tests compare the same values everywhere.
#pragma once

#include <cstdint>

namespace qs {

using SystemError = std::uint32_t;

inline constexpr SystemError kErrorSuccess = 0;
inline constexpr SystemError kErrorFileNotFound = 2;
inline constexpr SystemError kErrorPathNotFound = 3;
inline constexpr SystemError kErrorTooManyOpenFiles = 4;
inline constexpr SystemError kErrorAccessDenied = 5;
inline constexpr SystemError kErrorNotEnoughMemory = 8;
inline constexpr SystemError kErrorCrc = 23;  // ERROR_CRC, "data error"
inline constexpr SystemError kErrorReadFault = 30;
inline constexpr SystemError kErrorSharingViolation = 32;
inline constexpr SystemError kErrorFileExists = 80;
inline constexpr SystemError kErrorInvalidParameter = 87;
inline constexpr SystemError kErrorInvalidName = 123;  // ERROR_INVALID_NAME
inline constexpr SystemError kErrorDiskFull = 112;
inline constexpr SystemError kErrorBadExeFormat = 193;
inline constexpr SystemError kErrorOperationAborted = 995;

// Maps an errno value to the closest Windows error number.
SystemError SystemErrorFromErrno(int errno_value);

}  // namespace qs
