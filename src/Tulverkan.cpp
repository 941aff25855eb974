#include "shell/Application.h"
#include "shell/TForm1.h"

int main(int argc, char** argv) {
    shell::Application app(argc, argv);
    shell::TForm1 Form1;
    Form1.show();
    return app.exec();
}
