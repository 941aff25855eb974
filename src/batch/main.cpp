#include "batch/Batch.h"
#include "frontend/ProcessMemory.h"
#include "frontend/SystemTextFormat.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv) {
    frontend::prepareProcessMemory();
    QCoreApplication app(argc, argv);
    frontend::keepNumbersInCLocale();
    return batch::runBatch(QCoreApplication::arguments(), std::cout, std::cerr);
}
