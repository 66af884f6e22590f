#include "app/mdlMain.h"

#include <QApplication>

namespace mdlMain {
int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
}  // namespace mdlMain
