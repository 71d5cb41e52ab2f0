#include "nodeconfig/ui/CDlgSetAlarm.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/AlarmLimitInput.h"
#include "nodeconfig/SettingsBlock.h"
#include "nodeconfig/ui/CAlarmEdit.h"
#include "testing/ScriptedMessageBoxes.h"
#include "testing/UiWidgetFinders.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using nodeconfig::AlarmDataType;

int code(AlarmDataType type) { return static_cast<int>(type); }

/// The dialog shown for a type, its edits found by their labels.
struct Dialog {
    explicit Dialog(AlarmDataType type, const nodeconfig::AlarmLimits& limits = {})
        : dialog(code(type), limits, boxes)
    {
        dialog.show();
    }
    CAlarmEdit* edit(const char* label) { return finders::byLabel<CAlarmEdit>(&dialog, QString::fromLatin1(label)); }
    void ok() { QTest::mouseClick(finders::button<QPushButton>(&dialog, QStringLiteral("OK")), Qt::LeftButton); }

    ScriptedMessageBoxes boxes;
    CDlgSetAlarm dialog;
};

TEST(CDlgSetAlarmTest, TheEditsTakeOnlyTheCharactersOfTheType)
{
    EXPECT_EQ(Dialog(AlarmDataType::Double).dialog.windowTitle(), QStringLiteral("Alarm Condition"));
    struct Case {
        AlarmDataType type;
        const char* keys;
        const char* afterHome; ///< typed after the caret went to the start
        const char* text;
    };
    const Case cases[] = {
        { AlarmDataType::Int16, "-327689", "", "-32768" },
        { AlarmDataType::Int16, "12-", "-", "-12" },
        { AlarmDataType::UInt32, "-4294967295", "-", "4294967295" },
        { AlarmDataType::Double, "-.5", "", "-5" },
        { AlarmDataType::Double, ".25.5", "-.", "-25.5" },
        { AlarmDataType::Double, "12.", "", "12." },
        { AlarmDataType::Float, "3.14159265", "", "3.14159" },
        { AlarmDataType::Others, "1.5e3", "", "153" },
    };
    for (const Case& c : cases) {
        Dialog d(c.type);
        for (const char* label : { "High High Limit:", "High Limit:", "Low Limit:", "Low Low Limit:" }) {
            CAlarmEdit* edit = d.edit(label);
            ASSERT_NE(edit, nullptr);
            QTest::keyClicks(edit, QString::fromLatin1(c.keys));
            QTest::keyClick(edit, Qt::Key_Home);
            QTest::keyClicks(edit, QString::fromLatin1(c.afterHome));
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.text)) << label << " " << c.keys;
        }
        // Backspace works as ever.
        CAlarmEdit* edit = d.edit("Low Low Limit:");
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.text).chopped(1)) << c.keys;
    }
}

TEST(CDlgSetAlarmTest, ARefusedKeyTypedOverASelectionLeavesTheTextAsItWas)
{
    struct Case {
        const char* text;
        int selectionStart, selectionLength; ///< the caret stands at the selection's end
        char key;
        const char* after;
    };
    const Case cases[] = {
        { "123", 0, 3, 'x', "123" },
        { "1.5", 1, 2, '.', "1.5" },
        { "5", 0, 1, '.', "5" },
        { "12", 0, 2, '-', "12" },
        { "123", 0, 3, '7', "7" },
        { "1.5", 2, 1, '0', "1.0" },
    };
    for (const Case& c : cases) {
        Dialog d(AlarmDataType::Double);
        CAlarmEdit* edit = d.edit("High Limit:");
        QTest::keyClicks(edit, QString::fromLatin1(c.text));
        edit->setSelection(c.selectionStart, c.selectionLength);
        QTest::keyClick(edit, c.key);
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.after)) << c.text << " " << c.key;
    }
}

TEST(CDlgSetAlarmTest, PastedTextGoesThroughTheSameRules)
{
    Dialog d(AlarmDataType::Double);
    CAlarmEdit* edit = d.edit("High Limit:");
    QGuiApplication::clipboard()->setText(QStringLiteral("12a-3.4.5"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("123.45"));
    // The edit's context menu pastes through the same slot.
    edit->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    edit->paste();
    EXPECT_EQ(edit->text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("-0.5"));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("-0.5"));
    // Pasted into the middle, a sign is refused as it would be typed there.
    edit->setCursorPosition(2);
    QGuiApplication::clipboard()->setText(QStringLiteral("-9"));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("-09.5"));
    EXPECT_EQ(edit->cursorPosition(), 3);

    // Text set through an assistive technology is filtered too.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
    ASSERT_NE(accessible, nullptr);
    accessible->setText(QAccessible::Value, QStringLiteral("x7y"));
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    ASSERT_NE(accessible->editableTextInterface(), nullptr);
    accessible->editableTextInterface()->insertText(0, QStringLiteral("1.-"));
    EXPECT_EQ(edit->text(), QStringLiteral("1.7"));

    // The text limit holds for pasted text.
    Dialog d16(AlarmDataType::Int16);
    CAlarmEdit* int16 = d16.edit("Low Limit:");
    QGuiApplication::clipboard()->setText(QStringLiteral("-1234567"));
    int16->paste();
    EXPECT_EQ(int16->text(), QStringLiteral("-12345"));
}

TEST(CDlgSetAlarmTest, LimitsOfTheFileAreShownWholeAndUnfiltered)
{
    Dialog d(AlarmDataType::Double, { "12345678901234567890", "7O", "", "" });
    EXPECT_EQ(d.edit("High High Limit:")->text(), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(d.edit("High Limit:")->text(), QStringLiteral("7O"));
    d.ok();
    EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
    EXPECT_EQ(d.dialog.limits().highHigh, "12345678901234567890");
    EXPECT_EQ(d.dialog.limits().high, "7O");
}

TEST(CDlgSetAlarmTest, OkChecksTheTextsInOrderAndAsksAboutLimitsOutOfOrder)
{
    Dialog d(AlarmDataType::Double);
    const auto expectRefused = [&d](const char* message) {
        d.boxes.queueAnswer(MbResult::Ok);
        d.ok();
        ASSERT_FALSE(d.boxes.shown().empty());
        EXPECT_EQ(d.boxes.shown().back().text, QString::fromLatin1(message));
        EXPECT_EQ(d.boxes.shown().back().caption, QStringLiteral("Error"));
        EXPECT_EQ(d.boxes.shown().back().buttons, MbButtons::Ok);
        EXPECT_TRUE(d.dialog.isVisible());
    };
    expectRefused("Alarm Condition Input Error...");
    QTest::keyClicks(d.edit("Low Limit:"), QStringLiteral("-"));
    expectRefused("Low Limit Input error...");
    QTest::keyClicks(d.edit("High Limit:"), QStringLiteral("80."));
    expectRefused("High Limit Input error...");
    QTest::keyClicks(d.edit("High High Limit:"), QStringLiteral("90."));
    expectRefused("High High Limit Input error...");
    QTest::keyClicks(d.edit("High High Limit:"), QStringLiteral("5"));
    QTest::keyClicks(d.edit("High Limit:"), QStringLiteral("5"));
    QTest::keyClicks(d.edit("Low Limit:"), QStringLiteral("95"));
    QTest::keyClicks(d.edit("Low Low Limit:"), QStringLiteral("-1"));

    // -95 is below 80.5: in order. A low-low limit above the low one is not.
    d.edit("Low Low Limit:")->setText(QStringLiteral("10"));
    d.boxes.queueAnswer(MbResult::No);
    d.ok();
    ASSERT_EQ(d.boxes.shown().back().caption, QStringLiteral("Warning"));
    EXPECT_EQ(d.boxes.shown().back().text, QString::fromLatin1(nodeconfig::kLimitOrderQuestion.data()));
    EXPECT_EQ(d.boxes.shown().back().icon, MbIcon::Warning);
    EXPECT_EQ(d.boxes.shown().back().buttons, MbButtons::YesNo);
    EXPECT_TRUE(d.dialog.isVisible());
    const std::size_t asked = d.boxes.shown().size();
    d.boxes.queueAnswer(MbResult::Yes);
    d.ok();
    EXPECT_EQ(d.boxes.shown().size(), asked + 1);
    EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
    const nodeconfig::AlarmLimits limits = d.dialog.limits();
    EXPECT_EQ(limits.highHigh + "|" + limits.high + "|" + limits.low + "|" + limits.lowLow, "90.5|80.5|-95|10");
}

TEST(CDlgSetAlarmTest, OnlyALowLowLimitIsAccepted)
{
    Dialog d(AlarmDataType::UInt16);
    QTest::keyClicks(d.edit("Low Low Limit:"), QStringLiteral("7"));
    d.ok();
    EXPECT_TRUE(d.boxes.shown().empty());
    EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
}

} // namespace
