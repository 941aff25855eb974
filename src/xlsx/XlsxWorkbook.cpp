#include "xlsx/XlsxWorkbook.h"

#include "Book.h"

namespace xlsx {

std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode) {
    return std::make_unique<Book>(path, mode);
}

} // namespace xlsx
