#include "batch/Batch.h"

#include <QCoreApplication>

#include <clocale>
#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // QCoreApplication applies the environment's C library locale; the engine's number parsing and
    // writing must not pick up a decimal comma from it. The user's format comes from QLocale.
    std::setlocale(LC_NUMERIC, "C");
    return batch::runBatch(QCoreApplication::arguments(), std::cout, std::cerr);
}
