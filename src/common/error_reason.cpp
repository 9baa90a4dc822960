#include "common/error_reason.h"

#include <cerrno>
#include <cstring>

namespace k64 {

std::string ErrorReason(int error)
{
    switch (error) {
    case ENOENT: return "нет такого файла или папки";
    case EACCES:
    case EPERM: return "нет доступа";
    case EROFS: return "файловая система только для чтения";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "на диске нет места";
    case EISDIR: return "это папка";
    case ENOTDIR: return "часть пути не является папкой";
    case EFBIG: return "файл слишком велик";
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return "файл занят";
    default: return std::strerror(error);
    }
}

}  // namespace k64
