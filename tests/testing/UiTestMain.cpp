// The user-interface tests run headless in one QApplication.
#include "testing/UiArguments.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    UiArguments arguments(argc, argv);
    QApplication app(arguments.count(), arguments.values());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
