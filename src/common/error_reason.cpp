#include "common/error_reason.h"

#include <cerrno>

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
    case ELOOP: return "ссылки образуют петлю";
    case ENAMETOOLONG: return "слишком длинное имя";
    case EEXIST: return "такой файл уже есть";
    case ENOTEMPTY: return "папка не пуста";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case EMLINK: return "слишком много ссылок";
    case EIO: return "ошибка ввода-вывода";
    case ENXIO:
    case ENODEV: return "устройство отсутствует";
    case ENOMEM: return "не хватает памяти";
    case EINVAL: return "недопустимый аргумент";
    case EOPNOTSUPP: return "файловая система этого не поддерживает";
    case EAGAIN: return "ресурс временно недоступен";
    case EINTR: return "прервано сигналом";
    case EPIPE: return "читающая сторона закрыла канал";
    case ETIMEDOUT: return "время ожидания истекло";
#ifdef ESTALE
    case ESTALE: return "файл на сетевом диске больше недоступен";
#endif
    // Russian throughout: the number lets a rare reason be looked up.
    default: return "системная ошибка " + std::to_string(error);
    }
}

}  // namespace k64
