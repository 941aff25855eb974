#include "sheets/SystemCause.h"

#include <cerrno>
#include <cstring>

namespace sheets {

std::string systemCause(int error) {
    switch (error) {
    case ENOSPC:
        return "disken er full";
    case EDQUOT:
        return "diskkvoten er brukt opp";
    case EFBIG:
        return "filen blir større enn filsystemet eller grensen for filstørrelse tillater";
    case EROFS:
        return "disken er skrivebeskyttet";
    case EACCES:
    case EPERM:
        return "ingen tilgang";
    case ENOENT:
        return "filen finnes ikke";
    case EIO:
        return "inn/ut-feil på disken";
    case ENOMEM:
        return "ikke nok minne";
    default:
        return std::string("systemfeil (") + std::strerror(error) + ")";
    }
}

} // namespace sheets
