#include "platform/posix/errno_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

RuntimeError fromErrno(int errnum, const std::string& what) {
    int number = err::PathFileAccess;
    switch (errnum) {
        case ENOENT: number = err::FileNotFound; break;
        case ENOTDIR: number = err::PathNotFound; break;
        case EACCES:
        case EPERM:
        case EROFS: number = err::PermissionDenied; break;
        case ENOSPC: number = err::DiskFull; break;
#ifdef EDQUOT
        case EDQUOT: number = err::DiskFull; break;
#endif
        case EIO: number = err::DeviceIoError; break;
        case ENODEV:
        case ENXIO: number = err::DeviceUnavailable; break;
        case EMFILE:
        case ENFILE: number = err::TooManyFiles; break;
        default: break;
    }
    return RuntimeError(number, what + ": " + std::strerror(errnum));
}

}  // namespace platform
