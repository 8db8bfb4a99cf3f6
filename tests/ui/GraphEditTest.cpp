// The bands moved on the graph with the mouse, the wheel and the keyboard, through the window
// system's own event path (on the offscreen platform and on a real X server, at a pixel ratio
// of 1 and of 2), and a bell's own curve drawn strong while it is dragged.
#define QTEST_QPA_MOUSE_HANDLING  // mouse events enter through the window, as a platform's do
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QUndoStack>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <vector>

#include "eq/response/BandHandles.h"
#include "tests/ui/UiFixture.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/RecordingPlayer.h"

namespace {

QPoint Rounded(const BandHandle& handle) {
  return {static_cast<int>(std::lround(handle.x)), static_cast<int>(std::lround(handle.y))};
}

// The handle of the band at table position `band`.
BandHandle HandleOf(const CDlgEQPainter* graph, std::size_t band) {
  for (const BandHandle& handle : graph->Handles()) {
    if (handle.band == band) {
      return handle;
    }
  }
  qFatal("no handle for band %d", static_cast<int>(band));
}

double Hundredths(double value) { return std::round(value * 100.0) / 100.0; }

}  // namespace

class GraphEditTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  // A drag of N pixels moves a bell's centre to the frequency the grid puts N pixels further
  // (whole hertz, also in its field) and its gain along the dB axis (hundredths), at three
  // window widths; the screen's pixel ratio changes nothing of it.
  void aDragOfNPixelsMovesTheBandByTheGridsMapping() {
    for (const int bands : {3, 10, 16}) {
      Reset(bands);
      m_table[1].enable = 1;
      m_table[1].centFreq = 500;
      m_table[1].gain = 0;
      auto dialog = Open();
      CDlgEQPainter* graph = dialog->Painter();
      const EqGraphParams p = m_graph;
      QCOMPARE(p.width, static_cast<std::uint32_t>(dialog->width()));
      for (const int n : {37, -23, 1}) {
        const BandHandle handle = HandleOf(graph, 1);
        const double f0 = m_table[1].centFreq;
        Drag(graph, Rounded(handle), Rounded(handle) + QPoint(n, 0));
        const double want = std::round(CDlgEQPainter::GridFreqAt(p, FreqToX(p, f0) + n));
        QVERIFY2(m_table[1].centFreq == want,
                 qPrintable(QStringLiteral("%1 bands, %2 px: %3 Hz, not %4")
                                .arg(bands)
                                .arg(n)
                                .arg(m_table[1].centFreq)
                                .arg(want)));
        QCOMPARE(dialog->Editors()[1]->Field(0)->text(), QString::number(want));
      }
      // 32 pixels down of 60 dB over 319 rows.
      const BandHandle handle = HandleOf(graph, 1);
      Drag(graph, Rounded(handle), Rounded(handle) + QPoint(0, 32));
      const double rows = static_cast<double>(p.height - 1);
      QCOMPARE(m_table[1].gain,
               Hundredths(p.topDb - (handle.y + 32) / rows * (p.topDb - p.bottomDb)));
      QCOMPARE(dialog->Editors()[1]->Field(2)->text(), QString::number(m_table[1].gain, 'f', 2));
    }
  }

  // The fields follow while the band is dragged; nothing is recorded before the release, and
  // the whole drag is then one step back.
  void aDragFromPressToReleaseIsOneUndoStep() {
    EnableBell(2, 1000, 4, 1.2);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    QUndoStack* undo = dialog->UndoStack();
    const int before = undo->count();
    const EqBand start = m_table[2];
    const QPoint from = Rounded(HandleOf(graph, 2));
    QTest::mousePress(graph, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 6; ++i) {
      QTest::mouseMove(graph, from + QPoint(9 * i, -5 * i));
      QCOMPARE(dialog->Editors()[2]->Field(0)->text(), QString::number(m_table[2].centFreq));
      QCOMPARE(undo->count(), before);
    }
    QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(54, -30));
    QCOMPARE(undo->count(), before + 1);
    const EqBand dragged = m_table[2];
    QVERIFY(dragged.centFreq > start.centFreq && dragged.gain > start.gain);
    undo->undo();
    QCOMPARE(m_table[2], start);
    QCOMPARE(dialog->Editors()[2]->Field(2)->text(), QStringLiteral("4.00"));
    undo->redo();
    QCOMPARE(m_table[2], dragged);
    // A press and release without a move changes nothing and records nothing.
    Drag(graph, Rounded(HandleOf(graph, 2)), Rounded(HandleOf(graph, 2)));
    QCOMPARE(undo->count(), before + 1);
    // Escape during a drag puts the band back where the drag began, and records nothing.
    const QPoint again = Rounded(HandleOf(graph, 2));
    QTest::mousePress(graph, Qt::LeftButton, {}, again);
    QTest::mouseMove(graph, again + QPoint(-40, 25));
    QVERIFY(m_table[2] != dragged);
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
    QCOMPARE(m_table[2], dragged);
    QCOMPARE(graph->DraggedHandle(), -1);
    QVERIFY(dialog->isVisible());
    QTest::mouseRelease(graph, Qt::LeftButton, {}, again + QPoint(-40, 25));
    QCOMPARE(m_table[2], dragged);
    QCOMPARE(undo->count(), before + 1);
  }

  // While a band is dragged, what plays is already the conversion through the new bands: a loop
  // round that starts after a move gives exactly the converted samples of the loop.
  void thePreviewPlaysTheNewBandsDuringADrag() {
    EnableBell(1, 1000, 0, 1.41);
    std::vector<std::int16_t> samples(22050);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(
          9000 * std::sin(2 * 3.141592653589793 * 1000 * static_cast<double>(i) / 22050));
    }
    auto dialog = Open(WriteWave("tone.wav", samples, 22050));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->HasSpectrum(), 10000);
    RecordingPlayer* player = dialog->Player();
    QVERIFY(dialog->SetLoop(0.1, 0.2));  // frames 2205 to 4410
    (void)player->Next(2205);            // one round: the next starts from silence
    CDlgEQPainter* graph = dialog->Painter();
    const QPoint from = Rounded(HandleOf(graph, 1));
    QTest::mousePress(graph, Qt::LeftButton, {}, from);
    QTest::mouseMove(graph, from + QPoint(0, -20));
    QTest::mouseMove(graph, from + QPoint(0, -40));
    QVERIFY2(m_table[1].gain > 7.0, qPrintable(QString::number(m_table[1].gain)));
    ExpectPlays(*player, ConvertedPart({samples.begin() + 2205, samples.begin() + 4410}, 22050),
                2205);
    QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(0, -40));
  }

  // The wheel over a bell narrows or widens it by 1/12 octave a notch (1/48 with Shift); over a
  // pass band it changes the attenuation by 1 dB; each can be taken back.
  void theWheelChangesTheWidthOrTheAttenuation() {
    EnableBell(2, 1000, 4, 1.41);
    EnableHighPass(100, 50);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    const int before = dialog->UndoStack()->count();
    Wheel(graph, HandleOf(graph, 2), 120, {});
    QCOMPARE(m_table[2].qual, 1.54);  // 1.0029 octaves less 1/12: Q 1.5427
    QCOMPARE(dialog->Editors()[2]->Field(1)->text(), QStringLiteral("1.54"));
    Wheel(graph, HandleOf(graph, 2), -120, {});
    QCOMPARE(m_table[2].qual, 1.41);
    Wheel(graph, HandleOf(graph, 2), 120, Qt::ShiftModifier);
    QCOMPARE(m_table[2].qual, 1.44);
    QVERIFY(dialog->UndoStack()->count() > before);  // one step, or more on a busy machine
    Wheel(graph, HandleOf(graph, 0), 240, {});
    QCOMPARE(m_table[0].gain, 26.0);
    QCOMPARE(m_table[0].cutoffFreq, 100.0);
  }

  // A double click switches a band on or off, also a disabled one (its handle shows while the
  // mouse is over the graph); a press picks the nearest handle, and of handles in one place the
  // first band; a press near a handle picks it within 6 pixels at a ratio of 1, 10 at 2.
  void handlesArePickedNearestFirstAndADoubleClickSwitchesABand() {
    EnableBell(2, 1000, 3, 1);
    EnableBell(3, 1000, 3, 1);
    m_table[4].centFreq = 3000;  // disabled
    m_table[4].gain = 6;
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    QTest::mouseMove(graph, Rounded(HandleOf(graph, 4)) + QPoint(40, 40));
    QVERIFY(graph->HandlesRevealed());
    QTest::mouseDClick(graph, Qt::LeftButton, {}, Rounded(HandleOf(graph, 4)));
    QCOMPARE(m_table[4].enable, 1U);
    QVERIFY(dialog->Editors()[4]->EnableBox()->isChecked());
    QTest::mouseDClick(graph, Qt::LeftButton, {}, Rounded(HandleOf(graph, 4)));
    QCOMPARE(m_table[4].enable, 0U);

    const QPoint same = Rounded(HandleOf(graph, 2));
    Drag(graph, same, same + QPoint(30, 0));
    QVERIFY(m_table[2].centFreq > 1000);
    QCOMPARE(m_table[3].centFreq, 1000.0);
    // Band 2 now lies 30 px right: a press 4 px right of band 3 picks band 3.
    Drag(graph, same + QPoint(4, 0), same + QPoint(4, 20));
    QVERIFY(m_table[3].gain < 3);

    const double ratio = graph->devicePixelRatioF();
    QCOMPARE(graph->HitRadius(), ratio >= 2 ? 10.0 : 6.0);
    const EqBand before = m_table[3];
    const QPoint near = Rounded(HandleOf(graph, 3)) + QPoint(0, -8);
    Drag(graph, near, near + QPoint(0, -25));
    QCOMPARE(m_table[3] != before, ratio >= 2);
  }

  // The graph takes the focus with Tab on its first band; the arrows move the selected band by
  // a field step (Shift: a hertz, a hundredth of a dB), Page Up and Down change its Q, Space
  // switches it, Tab goes on to the next band and, after the last, out of the graph.
  void theKeyboardMovesTheSelectedBand() {
    EnableBell(2, 1000, 4, 1.2);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    QWindow* window = dialog->windowHandle();
    dialog->Editors().back()->EnableBox()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), graph);
    QCOMPARE(graph->SelectedHandle(), 0);
    QTest::keyClick(window, Qt::Key_Tab);
    QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(graph->Handles()[static_cast<std::size_t>(graph->SelectedHandle())].band, 2U);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(graph);
    QVERIFY(access != nullptr && access->focusChild() != nullptr);
    QCOMPARE(access->focusChild()->text(QAccessible::Name),
             QStringLiteral("Band 3, bell, 1000 Hz, +4.0 dB, Q 1.2"));
    QTest::keyClick(window, Qt::Key_Right);
    QCOMPARE(m_table[2].centFreq, 1010.0);
    QTest::keyClick(window, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(m_table[2].centFreq, 1011.0);
    QTest::keyClick(window, Qt::Key_Up);
    QCOMPARE(m_table[2].gain, 4.2);
    QTest::keyClick(window, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(m_table[2].gain, 4.19);
    QTest::keyClick(window, Qt::Key_PageUp);
    QCOMPARE(m_table[2].qual, 1.3);  // 1.2 is 1.1699 octaves; less 1/12: Q 1.2969
    QCOMPARE(dialog->Editors()[2]->Field(0)->text(), QStringLiteral("1011"));
    QCOMPARE(access->focusChild()->text(QAccessible::Name),
             QStringLiteral("Band 3, bell, 1011 Hz, +4.2 dB, Q 1.3"));
    QTest::keyClick(window, Qt::Key_Space);
    QCOMPARE(m_table[2].enable, 0U);
    QTest::keyClick(window, Qt::Key_Space);
    QCOMPARE(m_table[2].enable, 1U);
    // On to the last band, then out.
    for (std::size_t i = 3; i < graph->Handles().size(); ++i) {
      QTest::keyClick(window, Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), graph);
    QTest::keyClick(window, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != graph);
    // Back in with Shift+Tab: on the last band.
    QTest::keyClick(window, Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), graph);
    QCOMPARE(graph->SelectedHandle(), static_cast<int>(graph->Handles().size()) - 1);
  }

  // Every band's handle has an accessible name that says what the band holds, also for a
  // screen reader that asks after a drag.
  void eachHandleHasAnAccessibleName() {
    EnableBell(2, 1000, 4, 1.2);
    EnableHighPass(80, 40);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(graph);
    QVERIFY(access != nullptr);
    QCOMPARE(access->childCount(), 10);
    QCOMPARE(access->child(0)->text(QAccessible::Name),
             QStringLiteral("Band 1, high-pass, 80 Hz, 24.0 dB at 40 Hz"));
    QCOMPARE(access->child(2)->text(QAccessible::Name),
             QStringLiteral("Band 3, bell, 1000 Hz, +4.0 dB, Q 1.2"));
    QVERIFY(access->child(3)->text(QAccessible::Name).endsWith(QStringLiteral(", off")));
    QCOMPARE(access->indexOfChild(access->child(3)), 3);
    QVERIFY(access->child(2)->rect().contains(graph->mapToGlobal(Rounded(HandleOf(graph, 2)))));
    const QPoint from = Rounded(HandleOf(graph, 2));
    Drag(graph, from, from + QPoint(0, -16));
    QCOMPARE(access->child(2)->text(QAccessible::Name),
             QString::fromStdString(DescribeBand(m_table[2])));
  }

  // Closing the window in the middle of a drag: the drag ends as a release would end it, and
  // nothing is left pointing at the window; deleting it in a drag is safe too.
  void theWindowSurvivesClosingDuringADrag() {
    EnableBell(2, 1000, 4, 1.2);
    {
      auto dialog = Open();
      CDlgEQPainter* graph = dialog->Painter();
      const int before = dialog->UndoStack()->count();
      const QPoint from = Rounded(HandleOf(graph, 2));
      QTest::mousePress(graph, Qt::LeftButton, {}, from);
      QTest::mouseMove(graph, from + QPoint(20, 10));
      dialog->reject();
      QVERIFY(!dialog->isVisible());
      QCOMPARE(graph->DraggedHandle(), -1);
      QCOMPARE(dialog->UndoStack()->count(), before + 1);
      QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(20, 10));  // goes nowhere
    }
    {
      auto dialog = Open();
      CDlgEQPainter* graph = dialog->Painter();
      const QPoint from = Rounded(HandleOf(graph, 2));
      QTest::mousePress(graph, Qt::LeftButton, {}, from);
      QTest::mouseMove(graph, from + QPoint(-20, 10));
    }
    QCoreApplication::processEvents();
    // The button is let go over another window, for the tests that follow.
    QWidget other;
    other.resize(200, 200);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::mouseRelease(&other, Qt::LeftButton, {}, QPoint(10, 10));
  }

  // Handles of pass bands and disabled bands show only while the mouse is over the graph: a
  // graph nobody touches looks as it always has.
  void handlesBeyondTheMarkersShowOnlyUnderTheMouse() {
    EnableHighPass(200, 100);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    const QPoint at = Rounded(HandleOf(graph, 0));
    auto red = [graph, at] {
      const QImage image = graph->grab().toImage();
      const QColor c = image.pixelColor(at * image.devicePixelRatio());
      return c.red() > 200 && c.green() < 60;
    };
    QVERIFY(!graph->HandlesRevealed());
    QVERIFY(!red());
    QTest::mouseMove(graph, at + QPoint(100, 60));
    QVERIFY(graph->HandlesRevealed());
    QVERIFY(red());
  }

  // A bell being dragged: the whole window grabs at the screen's ratio, and the band's own curve
  // is drawn strong.
  void aBellBeingDraggedDrawsItsOwnCurveStrong() {
    EnableHighPass(80, 40);
    EnableBell(3, 160, -6, 1.4);
    EnableBell(5, 1200, 3, 1);
    EnableBell(6, 3000, 5, 1.8);
    auto dialog = Open();
    CDlgEQPainter* graph = dialog->Painter();
    const QPoint from = Rounded(HandleOf(graph, 5));
    QTest::mousePress(graph, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 5; ++i) {
      QTest::mouseMove(graph, from + QPoint(8 * i, -9 * i));
    }
    QCOMPARE(graph->DraggedHandle(), 5);
    graph->repaint();
    const QPixmap shot = dialog->grab();
    QCOMPARE(shot.size(), dialog->size() * shot.devicePixelRatio());
    // The strong curve's colour where the band's own response has its peak.
    const QImage image = graph->grab().toImage();
    const double ratio = image.devicePixelRatio();
    const BandHandle handle = HandleOf(graph, 5);
    int strong = 0;
    for (int dx = -30; dx <= 30; ++dx) {
      for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(static_cast<int>(handle.x * ratio) + dx, y);
        strong += c.red() == 140 && c.green() == 200 && c.blue() == 255;
      }
    }
    QVERIFY2(strong > 20, qPrintable(QString::number(strong)));
    QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(40, -45));
  }

 private:
  void EnableHighPass(double cutoff, double stop) {
    m_table[0].enable = 1;
    m_table[0].cutoffFreq = cutoff;
    m_table[0].stopFreq = stop;
    m_table[0].gain = 24;
  }

  void EnableBell(std::size_t band, double freq, double gain, double qual) {
    m_table[band].type = ToCode(EqBandType::Bell);
    m_table[band].enable = 1;
    m_table[band].centFreq = freq;
    m_table[band].gain = gain;
    m_table[band].qual = qual;
  }

  // The window, shown and active (the keys go to it).
  std::unique_ptr<CTonvaleDlg> Open(std::string recording = std::string()) {
    auto dialog = MakeDialog(false, nullptr, std::move(recording));
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog.get())) {
      qWarning("window not active");
    }
    return dialog;
  }

  static void Wheel(QWidget* graph, const BandHandle& handle, int angle,
                    Qt::KeyboardModifiers modifiers) {
    const QPointF at(handle.x, handle.y);
    QWheelEvent event(at, graph->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(graph, &event);
  }
};

QObject* MakeGraphEditTest() { return new GraphEditTest; }

#include "GraphEditTest.moc"
