#pragma once

#include <QString>
#include <QStringList>

class CPsTavox;
class FileDialogs;
class MessageBoxes;

namespace platform {
class ServiceManager;
class Sleeper;
struct SettingsStores;
} // namespace platform

/// The application: refuses a second instance, sets up the libraries, asks for the login
/// password, runs the main sheet with its six pages, and releases everything in order.
class CTavoxUtilityApp {
public:
    /// The application title: the sheet's caption, the tray title, and the start of every
    /// window title of the program.
    static const QString kAppTitle;
    /// The name under which the per-user profile is kept, whatever the executable is called.
    static const QString kAppName;
    static const QString kCompany;

    /// Everything handed over must outlive the object.
    CTavoxUtilityApp(MessageBoxes& boxes,
        platform::ServiceManager& serviceManager,
        platform::Sleeper& sleeper,
        const platform::SettingsStores& stores);

    /// The local socket that makes this instance the user's only one.
    void setInstanceName(const QString& name) { m_instanceName = name; }
    /// The full command line, as the program was started.
    void setCommandLine(const QString& commandLine) { m_commandLine = commandLine; }
    /// Joins program name and arguments with blanks, as a command line is written.
    static QString commandLineOf(const QStringList& arguments);

    /// Start-up, the run of the sheet and the teardown. Returns the process's exit status:
    /// 0 when it ended normally (also a second start, a cancelled login), 1 when a library
    /// could not be set up.
    int InitInstance();

    /// Adds the six pages in tab order with their header items.
    static void
    AddPages(CPsTavox& sheet, MessageBoxes& boxes, FileDialogs& fileDialogs, const platform::SettingsStores& stores);

    /// The sheet while it runs; null before the login and after the end.
    CPsTavox* sheet() const { return m_sheet; }

private:
    void OnShowRequest();

    MessageBoxes& m_boxes;
    platform::ServiceManager& m_serviceManager;
    platform::Sleeper& m_sleeper;
    const platform::SettingsStores& m_stores;
    QString m_instanceName;
    QString m_commandLine;
    CPsTavox* m_sheet = nullptr;
};
