// What a failure code of the program's file operations means to the user.
#include "app/failure_text.h"

#include <cstring>

#include "files/file_failure.h"
#include "settings/language_catalogue.h"

std::string failureText(int failure) {
    if (failure == NotAFileWithAnEnd) return catalogueTextOr("tInfoNOTAFILE", "Not a regular file or disk");
    if (failure == FileChangedWhileRead)
        return catalogueTextOr("tInfoCHANGED", "The file changed while it was read");
    return std::strerror(failure);
}
