#include "offscreen_app.h"

#include <QApplication>
#include <cstdlib>

namespace testing_support {

QApplication& OffscreenApplication() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace testing_support
