// The band editors and their numeric fields on Qt's offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <vector>

#include "tests/ui/UiFixture.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/SpinArrows.h"

class BandEditorTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  void steppingClampsAndAlwaysReports() {
    auto dialog = MakeDialog();
    MessageCounter counter;
    dialog->installEventFilter(&counter);
    CDlgEQController* bell = dialog->Editors()[1];
    CBandFloatNumEdit* gain = bell->Field(2);
    gain->SetValue(29.9);
    emit bell->Spin(2)->DeltaPos(-1);  // up
    QCOMPARE(gain->text(), QStringLiteral("30.00"));
    emit bell->Spin(2)->DeltaPos(-1);
    QCOMPARE(gain->text(), QStringLiteral("30.00"));
    QCOMPARE(counter.count, 2);

    CBandFloatNumEdit* qual = bell->Field(1);
    qual->SetValue(0.01);
    qual->StepValue(1);  // down
    QCOMPARE(qual->text(), QStringLiteral("0.01"));

    CBandFloatNumEdit* centre = bell->Field(0);
    centre->minValue = 0;  // shown unclamped, as at start-up
    centre->SetValue(250.7);
    QCOMPARE(centre->text(), QStringLiteral("250"));
    dialog->Editors()[1]->UpdateLimits();
    centre->StepValue(-1);
    QCOMPARE(centre->text(), QStringLiteral("260"));
  }

  void highPassLimitsFollowTheOtherFrequency() {
    m_table[0].cutoffFreq = 1000;
    m_table[0].stopFreq = 500;
    auto dialog = MakeDialog();
    CDlgEQController* highPass = dialog->Editors()[0];
    QCOMPARE(highPass->Field(1)->maxValue, 980.0);
    QVERIFY(qAbs(highPass->Field(0)->minValue - 510.204) < 0.001);

    // A cutoff of 10 with minFreqValue 10: the stop field's maximum 9.8 wins over its minimum.
    highPass->Field(0)->setText(QStringLiteral("10"));
    highPass->UpdateLimits();
    highPass->Field(1)->StepValue(-1);
    QCOMPARE(highPass->Field(1)->text(), QStringLiteral("9"));
  }

  void characterFilterPassesOnlyWhatANumberNeeds() {
    auto dialog = MakeDialog();
    CDlgEQController* bell = dialog->Editors()[1];
    CBandFloatNumEdit* qual = bell->Field(1);
    CBandFloatNumEdit* centre = bell->Field(0);
    CBandFloatNumEdit* gain = bell->Field(2);
    qual->setText(QString());
    QTest::keyClicks(qual, QStringLiteral("-1.5.x "));
    QCOMPARE(qual->text(), QStringLiteral("1.5"));
    centre->setText(QString());
    QTest::keyClicks(centre, QStringLiteral("12.5"));
    QCOMPARE(centre->text(), QStringLiteral("125"));
    gain->setText(QString());
    QTest::keyClicks(gain, QStringLiteral("-3..5--"));
    QCOMPARE(gain->text(), QStringLiteral("-3.5"));
    QTest::keyClick(gain, Qt::Key_Backspace);
    QCOMPARE(gain->text(), QStringLiteral("-3."));
    QTest::keyClicks(gain, QStringLiteral("x"), Qt::ShiftModifier);  // Shift lets anything through
    QCOMPARE(gain->text(), QStringLiteral("-3.x"));
  }

  // The typing limit bounds what a person types or pastes, never what the program shows: a
  // stored value longer than the limit is shown whole and read back whole.
  void typingLimitNeverCutsAShownValue() {
    m_config.bandEditMaxLen = 4;
    m_config.defaultSampleRate = 48000;
    m_table[3].centFreq = 10000;
    auto dialog = MakeDialog();
    CBandFloatNumEdit* centre = dialog->Editors()[3]->Field(0);
    QCOMPARE(centre->text(), QStringLiteral("10000"));
    QCOMPARE(m_table[3].centFreq, 10000.0);
    centre->setFocus();
    centre->end(false);
    QTest::keyClicks(centre, QStringLiteral("5"));
    QCOMPARE(centre->text(), QStringLiteral("10000"));  // no longer than before
    QTest::keyClick(centre, Qt::Key_Backspace);
    QCOMPARE(centre->text(), QStringLiteral("1000"));
    centre->selectAll();
    QTest::keyClicks(centre, QStringLiteral("123456"));
    QCOMPARE(centre->text(), QStringLiteral("1234"));
    centre->selectAll();
    centre->insert(QStringLiteral("987654"));  // as a paste inserts
    QCOMPARE(centre->text(), QStringLiteral("1234"));
    centre->StepValue(-1);  // stepping shows what it must
    QCOMPARE(centre->text(), QStringLiteral("1244"));
  }

  // Tab follows the layout: the top row left to right, then each editor top to bottom; the
  // arrows are no tab stops, the Up and Down keys step the field that has the focus.
  void tabOrderFollowsTheLayoutAndArrowKeysStepTheField() {
    for (const bool settingsMode : {false, true}) {
      auto dialog = MakeDialog(settingsMode);
      dialog->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
      std::vector<QWidget*> expected = {dialog->RateList()};
      if (settingsMode) {
        expected.push_back(dialog->PreampField());
        expected.push_back(dialog->OkButton());
        expected.push_back(dialog->CancelButton());
      } else {
        expected.push_back(dialog->ConvertButton());
        expected.push_back(dialog->PreampField());
      }
      for (CDlgEQController* editor : dialog->Editors()) {
        for (int row = 0; row < 3; ++row) {
          expected.push_back(editor->Field(row));
        }
        expected.push_back(editor->EnableBox());
      }
      expected.push_back(dialog->Painter());  // its menu: presets and the preamp
      dialog->RateList()->setFocus();
      std::vector<QWidget*> visited = {QApplication::focusWidget()};
      for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
      }
      QVERIFY(visited == expected);
    }
    auto dialog = MakeDialog();
    CBandFloatNumEdit* gain = dialog->Editors()[4]->Field(2);
    gain->setFocus();
    QTest::keyClick(gain, Qt::Key_Up);
    QCOMPARE(gain->text(), QStringLiteral("10.20"));
    QCOMPARE(m_table[4].gain, 10.2);
    QTest::keyClick(gain, Qt::Key_Down);
    QTest::keyClick(gain, Qt::Key_Down);
    QCOMPARE(gain->text(), QStringLiteral("9.80"));
  }
};

#include "BandEditorTest.moc"

QObject* MakeBandEditorTest() { return new BandEditorTest; }
