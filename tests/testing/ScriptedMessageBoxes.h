#pragma once

#include "uikit/MessageBoxes.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

/// Answers message boxes from a queue and records every box shown. A box with no queued
/// answer fails the test and is answered with Cancel (No for Yes/No boxes).
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString caption;
        MbIcon icon;
        MbButtons buttons;
    };

    void queueAnswer(MbResult answer) { m_answers.push_back(answer); }
    /// Answers every box with OK (or Yes) without failing, for flows that only record.
    void setAnswerAll(bool on) { m_answerAll = on; }

    MbResult show(QWidget*, const QString& text, const QString& caption, MbIcon icon, MbButtons buttons) override
    {
        m_shown.push_back({ text, caption, icon, buttons });
        if (!m_answers.empty()) {
            const MbResult r = m_answers.front();
            m_answers.pop_front();
            return r;
        }
        if (m_answerAll)
            return buttons == MbButtons::YesNo || buttons == MbButtons::YesNoCancel ? MbResult::Yes : MbResult::Ok;
        ADD_FAILURE() << "unexpected message box \"" << caption.toStdString() << "\": " << text.toStdString();
        return buttons == MbButtons::YesNo ? MbResult::No : MbResult::Cancel;
    }

    const std::vector<Shown>& shown() const { return m_shown; }
    bool allAnswersUsed() const { return m_answers.empty(); }
    void clear() { m_shown.clear(); }

private:
    std::deque<MbResult> m_answers;
    std::vector<Shown> m_shown;
    bool m_answerAll = false;
};
