// The response graph's grid and curve on Qt's offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "eq/PcmFilter.h"
#include "settings/AppConfig.h"
#include "settings/LiveFlag.h"
#include "settings/UserSettings.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DialogUnits.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/EqEvents.h"
#include "ui/SpinArrows.h"
#include "ui/TonvaleDlg.h"

#include "tests/ui/UiFixture.h"

class DlgEQPainterTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  void gridMatchesTheWorkedExample() {
    EqGraphParams p;
    p.sampleRate = 16000;
    p.width = 800;
    p.height = 320;
    p.minFreq = 10;
    p.maxFreq = 8000;
    p.topDb = 30;
    p.bottomDb = -30;
    std::vector<GridLine> freq;
    std::vector<GridLine> db;
    CDlgEQPainter::ComputeGrid(p, freq, db);
    std::vector<int> majors;
    std::vector<int> labels;
    for (const GridLine& line : freq) {
      if (line.kind == 0) {
        majors.push_back(static_cast<int>(line.position));
        labels.push_back(static_cast<int>(line.value));
      }
    }
    QCOMPARE(majors, (std::vector<int>{0, 160, 320, 480, 640, 800}));
    QCOMPARE(labels, (std::vector<int>{10, 38, 145, 554, 2115, 8000}));
    std::vector<int> minors;
    for (std::size_t i = 1; i <= 8; ++i) minors.push_back(static_cast<int>(freq[i].position));
    QCOMPARE(minors, (std::vector<int>{48, 76, 96, 111, 124, 135, 144, 152}));
    std::vector<int> dbMajors;
    std::vector<int> dbLabels;
    for (const GridLine& line : db) {
      if (line.kind == 0) {
        dbMajors.push_back(static_cast<int>(line.position));
        dbLabels.push_back(static_cast<int>(line.value));
      }
    }
    QCOMPARE(dbMajors, (std::vector<int>{0, 80, 160, 240, 320}));
    QCOMPARE(dbLabels, (std::vector<int>{30, 15, 0, -15, -30}));
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
