#include "platform/system_error.h"

#include <cerrno>

namespace qs {

SystemError SystemErrorFromErrno(int errno_value) {
  switch (errno_value) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kErrorAccessDenied;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EIO:
      return kErrorReadFault;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
      return kErrorSharingViolation;
    case EEXIST:
    case ENOTEMPTY:
      return kErrorFileExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorDiskFull;
    case ENOEXEC:
      return kErrorBadExeFormat;
    case ECANCELED:
    case EINTR:
      return kErrorOperationAborted;
    case EINVAL:
    default:
      // Whatever has no closer match: the caller only needs to know that it failed.
      return kErrorInvalidParameter;
  }
}

}  // namespace qs
