#pragma once

#include <cstdlib>
#include <vector>

/// The program's arguments for its QApplication: headless ("-platform offscreen") unless the
/// environment names a platform (the screenshot program runs on a virtual display). Given as an
/// argument, so that the environment stays untouched; it must outlive the application.
class UiArguments {
public:
    UiArguments(int argc, char** argv)
        : m_arguments(argv, argv + argc)
    {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            m_arguments.push_back(m_platformOption);
            m_arguments.push_back(m_offscreen);
        }
        m_count = static_cast<int>(m_arguments.size());
        m_arguments.push_back(nullptr);
    }

    int& count() { return m_count; }
    char** values() { return m_arguments.data(); }

private:
    char m_platformOption[10] = "-platform";
    char m_offscreen[10] = "offscreen";
    std::vector<char*> m_arguments;
    int m_count = 0;
};
