#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

/// Keeps the utility to one running instance per user. The first start listens on a local
/// socket from its first moment (so that an instance still at its login already counts); a
/// later start connects, asks the running one to show itself, and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);

    /// The current user's name: "tavox-utility-<uid>" in the user's runtime directory, or in
    /// the temporary directory where there is none.
    static QString defaultName();

    /// Asks a running instance to show itself; true when one took the request.
    bool NotifyRunning();
    enum class ListenResult { Listening, OtherRunning, Failed };
    /// Starts listening as the running instance. A socket left behind by an instance that
    /// died is taken over; another instance that answers meanwhile has been asked to show.
    ListenResult Listen();
    QString errorString() const { return m_server.errorString(); }
    bool isListening() const { return m_server.isListening(); }
    const QString& name() const { return m_name; }

signals:
    /// A later start asked this instance to show itself.
    void showRequested();

private slots:
    void OnNewConnection();

private:
    QString m_name;
    QLocalServer m_server;
};
