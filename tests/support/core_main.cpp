#include <gtest/gtest.h>

#include <QCoreApplication>

// Core tests need no display; a core application still gives them the executable's folder.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
