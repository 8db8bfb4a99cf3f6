// The response graph's grid and curve on Qt's offscreen platform.
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QTest>
#include <utility>
#include <vector>

#include "tests/support/SpeechGraph.h"
#include "tests/ui/UiFixture.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"

class DlgEQPainterTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  void gridMatchesTheWorkedExample() {
    EqGraphParams p = testsupport::SpeechGraph();
    std::vector<GridLine> freq;
    std::vector<GridLine> db;
    CDlgEQPainter::ComputeGrid(p, freq, db);
    // The positions and values of the major lines.
    const auto majors = [](const std::vector<GridLine>& lines) {
      std::pair<std::vector<int>, std::vector<int>> found;
      for (const GridLine& line : lines) {
        if (line.kind == 0) {
          found.first.push_back(static_cast<int>(line.position));
          found.second.push_back(static_cast<int>(line.value));
        }
      }
      return found;
    };
    QCOMPARE(majors(freq).first, (std::vector<int>{0, 160, 320, 480, 640, 800}));
    QCOMPARE(majors(freq).second, (std::vector<int>{10, 38, 145, 554, 2115, 8000}));
    std::vector<int> minors;
    for (std::size_t i = 1; i <= 8; ++i) minors.push_back(static_cast<int>(freq[i].position));
    QCOMPARE(minors, (std::vector<int>{48, 76, 96, 111, 124, 135, 144, 152}));
    QCOMPARE(majors(db).first, (std::vector<int>{0, 80, 160, 240, 320}));
    QCOMPARE(majors(db).second, (std::vector<int>{30, 15, 0, -15, -30}));
    QCOMPARE(static_cast<int>(db[1].position), 16);
    p.width = 4;
    CDlgEQPainter::ComputeGrid(p, freq, db);
    QVERIFY(freq.empty());
  }

  void gridIsRedrawnOnRateChangesOnlyAndTheFlatCurveIsTheMiddleRow() {
    auto dialog = MakeDialog();
    CDlgEQPainter* painter = dialog->Painter();
    QTRY_VERIFY(painter->GridDrawCount() >= 1);
    const int draws = painter->GridDrawCount();
    dialog->Editors()[1]->EnableBox()->click();
    painter->repaint();
    QCOMPARE(painter->GridDrawCount(), draws);
    dialog->RateList()->setCurrentIndex(4);
    painter->repaint();
    QCOMPARE(painter->GridDrawCount(), draws + 1);

    dialog->Editors()[1]->EnableBox()->click();  // off again: no band enabled
    painter->repaint();
    const QImage image = painter->grab().toImage();
    for (int x = 5; x < painter->width() - 5; x += 37) {
      QCOMPARE(image.pixelColor(x, 160), QColor(Qt::white));
    }
    QVERIFY(image.pixelColor(400, 100) != QColor(Qt::white));
  }
};

#include "DlgEQPainterTest.moc"

QObject* MakeDlgEQPainterTest() { return new DlgEQPainterTest; }
