// The user-interface tests run headless in one QApplication.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    // Headless unless the environment names a platform (the screenshot program runs on a
    // virtual display): an argument to the application, so the environment stays untouched.
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        arguments.push_back(platformOption);
        arguments.push_back(offscreen);
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
