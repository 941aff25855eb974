#include "containers/Causes.h"

namespace containers {

std::string zipCause(zip_error_t* error) {
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOZIP:
        return "filen er ikke et zip-arkiv";
    case ZIP_ER_INCONS:
        return "zip-arkivet er skadet (innholdslisten stemmer ikke)";
    case ZIP_ER_CRC:
        return "zip-arkivet er skadet (kontrollsummen stemmer ikke)";
    case ZIP_ER_EOF:
        return "zip-arkivet er skadet (filen slutter for tidlig)";
    case ZIP_ER_ZLIB:
        return "zip-arkivet er skadet (de komprimerte dataene kan ikke pakkes ut)";
    case ZIP_ER_MULTIDISK:
        return "zip-arkiv delt over flere filer støttes ikke";
    case ZIP_ER_COMPNOTSUPP:
        return "delen er komprimert med en metode som ikke støttes";
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return "delen er kryptert";
    case ZIP_ER_MEMORY:
        return "ikke nok minne";
    case ZIP_ER_READ:
    case ZIP_ER_WRITE:
    case ZIP_ER_OPEN:
    case ZIP_ER_SEEK:
        if (zip_error_code_system(error) != 0) return systemCause(zip_error_code_system(error));
        [[fallthrough]];
    default:
        return std::string("zip-feil (") + zip_error_strerror(error) + ")";
    }
}

std::string zipCause(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string cause = zipCause(&error);
    zip_error_fini(&error);
    return cause;
}

} // namespace containers
