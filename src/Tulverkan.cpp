#include "frontend/ProcessMemory.h"
#include "frontend/Version.h"
#include "shell/Application.h"
#include "shell/TForm1.h"

#include <iostream>
#include <string_view>

namespace {

constexpr const char* kUsage = "Bruk: tulverkan [--version | --help]\n"
                               "\n"
                               "Viser vinduet som bokfører de merkede linjene i en bestillingsfil i "
                               "lagerfilen.\n"
                               "Se tulverkan(1) for hvor lagerfilen ligger, og tulverkan-batch(1) for det "
                               "samme fra terminalen.\n"
                               "\n"
                               "  --version   viser versjonen\n"
                               "  -h, --help  viser denne teksten\n";

// Answered before the Qt application exists: that needs a display, these do not. Any other argument is
// left to Qt, which takes its own (-platform, -style ...) and ignores the rest.
bool answeredInformationOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "--version") {
            std::cout << "tulverkan " << frontend::kVersion << '\n';
            return true;
        }
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (answeredInformationOption(argc, argv)) return 0;
    frontend::prepareProcessMemory();
    shell::Application app(argc, argv);
    shell::TForm1 Form1;
    Form1.show();
    return app.exec();
}
