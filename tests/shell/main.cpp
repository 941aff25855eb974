#include "shell/Application.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Real widgets without a display, and Qt's own texts as a Norwegian user gets them.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LC_ALL", "nb_NO.UTF-8", 1);
    unsetenv("LANGUAGE");
    // Qt's file dialog keeps its state in the user's settings; the tests keep theirs to themselves.
    testsupport::TempDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().c_str(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    shell::Application app(argc, argv);
    // A test that closes its window must not end the event loops of the tests after it.
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
