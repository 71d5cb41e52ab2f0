#pragma once

#include "uikit/FileDialogs.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

/// Answers file dialogs from a queue (an empty answer cancels) and records every dialog shown.
/// A dialog with no queued answer fails the test and is cancelled.
class ScriptedFileDialogs final : public FileDialogs {
public:
    struct Shown {
        bool save;
        FileDialogRequest request;
    };

    void queueAnswer(const QString& file) { m_answers.push_back(file); }

    QString getOpenFileName(QWidget*, const FileDialogRequest& request) override { return answer(false, request); }
    QString getSaveFileName(QWidget*, const FileDialogRequest& request) override { return answer(true, request); }

    const std::vector<Shown>& shown() const { return m_shown; }
    bool allAnswersUsed() const { return m_answers.empty(); }

private:
    QString answer(bool save, const FileDialogRequest& request)
    {
        m_shown.push_back({ save, request });
        if (m_answers.empty()) {
            ADD_FAILURE() << "unexpected file dialog \"" << request.title.toStdString() << "\"";
            return {};
        }
        const QString file = m_answers.front();
        m_answers.pop_front();
        return file;
    }

    std::deque<QString> m_answers;
    std::vector<Shown> m_shown;
};
