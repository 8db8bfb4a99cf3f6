// The band types in the window: the type menu on an editor, the fields and pictures of the new
// types, the preamp field, undo and redo, presets in and out through the graph's menu, and the
// graph's band curves, mouse readout and export.
#include <sys/resource.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

#include <cmath>
#include <csignal>
#include <memory>

#include "tests/ui/UiFixture.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/SpinArrows.h"

namespace {

// Limits the size of the files this process writes while it lives; a write beyond the limit
// fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    (void)::getrlimit(RLIMIT_FSIZE, &m_before);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_before;
    limit.rlim_cur = bytes;
    (void)::setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    (void)::setrlimit(RLIMIT_FSIZE, &m_before);
    (void)std::signal(SIGXFSZ, m_handler);
  }

 private:
  rlimit m_before{};
  void (*m_handler)(int) = nullptr;
};

}  // namespace

class BandTypeTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  // The type menu rebuilds an editor with the new type's fields; each picture's tooltip names
  // the kind of filter, each field's shows its text.
  void theTypeMenuRebuildsTheEditorWithTheNewTypesFields() {
    auto dialog = MakeDialog();
    CaptureReports(*dialog);
    const auto tip = [&dialog](std::size_t band) {
      return dialog->Editors()[band]->ToolTipFor(dialog->Editors()[band]->Picture());
    };
    QCOMPARE(tip(0), QStringLiteral("High Pass filter (Band01)"));
    QCOMPARE(tip(2), QStringLiteral("Bell filter (Band03)"));
    QCOMPARE(tip(9), QStringLiteral("Low Pass filter (Band10)"));
    CDlgEQController* bell = dialog->Editors()[1];
    QCOMPARE(bell->ToolTipFor(bell->Field(2)), QStringLiteral("10.00"));
    bell->Field(2)->setText(QString());
    QCOMPARE(bell->ToolTipFor(bell->Field(2)), QString());
    const std::unique_ptr<QMenu> menu(dialog->Editors()[3]->CreateTypeMenu(nullptr));
    QStringList names;
    for (QAction* action : menu->actions()) {
      names << action->text();
    }
    QCOMPARE(names,
             (QStringList{"Bell", "Low shelf", "High shelf", "Notch", "High-pass", "Low-pass"}));
    QVERIFY(menu->actions()[0]->isChecked());
    menu->actions()[3]->trigger();  // Notch
    QCoreApplication::processEvents();
    CDlgEQController* notch = dialog->Editors()[3];
    QCOMPARE(notch->bandType, 6U);
    QCOMPARE(m_table[3].type, 6U);
    // A notch has no gain: that row is greyed; the others are not.
    QVERIFY(!notch->Field(2)->isEnabled());
    QVERIFY(!notch->Spin(2)->isEnabled());
    QVERIFY(notch->Field(0)->isEnabled());
    QCOMPARE(tip(3), QStringLiteral("Notch filter (Band04)"));

    dialog->Editors()[4]->ChooseType(4);
    QCOMPARE(tip(4), QStringLiteral("Low Shelf filter (Band05)"));
    QVERIFY(dialog->Editors()[4]->Field(2)->isEnabled());
    dialog->Editors()[5]->ChooseType(5);
    QCOMPARE(tip(5), QStringLiteral("High Shelf filter (Band06)"));

    // A bell made a low-pass keeps its frequency as the corner, with its stop an octave above.
    const double centre = m_table[2].centFreq;
    dialog->Editors()[2]->ChooseType(3);
    QCOMPARE(m_table[2].type, 3U);
    QCOMPARE(m_table[2].cutoffFreq, centre);
    QCOMPARE(m_table[2].stopFreq, 2 * centre);
    QCOMPARE(dialog->Editors().size(), std::size_t{10});
  }

  void thePreampFieldSetsTheTablesPreampAndMovesTheCurve() {
    auto dialog = MakeDialog();
    m_table[4].enable = 1;
    CBandFloatNumEdit* preamp = dialog->PreampField();
    QVERIFY(preamp->isVisible());
    const std::vector<std::int32_t> before = dialog->Painter()->Curve();
    preamp->setText(QStringLiteral("-6"));
    preamp->Commit();
    QCOMPARE(m_table.preampDb, -6.0);
    QVERIFY(dialog->Painter()->Curve() != before);
    QVERIFY(dialog->Painter()->Curve()[0] > before[0]);  // lower on the graph
  }

  // Steps of one held arrow are one edit; Ctrl+Z takes back edits of values, switches and
  // types, also from inside a field (before its own text undo); Ctrl+Shift+Z redoes them.
  void undoAndRedoEveryBandEdit() {
    auto dialog = MakeDialog();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    CBandFloatNumEdit* gain = dialog->Editors()[4]->Field(2);
    for (int i = 0; i < 3; ++i) {
      gain->StepValue(-1);
    }
    QCOMPARE(m_table[4].gain, 10.6);
    QCOMPARE(dialog->UndoStack()->count(), 1);
    dialog->Editors()[2]->EnableBox()->click();
    QCOMPARE(m_table[2].enable, 1U);
    dialog->Editors()[3]->ChooseType(6);
    QCOMPARE(dialog->UndoStack()->count(), 3);

    CBandFloatNumEdit* field = dialog->Editors()[0]->Field(0);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_table[3].type, 1U);
    QCOMPARE(dialog->Editors()[3]->bandType, 1U);
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_table[2].enable, 0U);
    QVERIFY(!dialog->Editors()[2]->EnableBox()->isChecked());
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_table[4].gain, 10.0);
    QCOMPARE(dialog->Editors()[4]->Field(2)->text(), QStringLiteral("10.00"));
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_table[4].gain, 10.6);
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_table[2].enable, 1U);
  }

  void theGraphShowsEachBandReadsOutTheMouseAndExports() {
    m_table[4].enable = 1;  // a bell of +10 dB at 195 Hz
    m_table[7].enable = 1;
    m_table[7].gain = -6;
    auto dialog = MakeDialog();
    CDlgEQPainter* graph = dialog->Painter();
    QCOMPARE(graph->BandCurves().size(), std::size_t{2});
    const int x = static_cast<int>(std::lround(FreqToX(m_graph, m_table[4].centFreq)));
    // At its centre the bell's own curve is the sum but for the far band's small share.
    QVERIFY(std::abs(graph->BandCurves()[0][static_cast<std::size_t>(x)] -
                     graph->Curve()[static_cast<std::size_t>(x)]) <= 3);
    const QString readout = graph->ReadoutAt(x);
    // The column nearest 195.1 Hz: the bell's 10 dB less the far bell's skirt there.
    QCOMPARE(readout, QStringLiteral("196 Hz  9.7 dB"));
    QVERIFY(graph->ReadoutAt(-1).isEmpty());

    QVERIFY(dialog->ExportGraph(QString::fromStdString(m_dir.File("graph.png")), 1.0));
    QVERIFY(dialog->ExportGraph(QString::fromStdString(m_dir.File("graph2.png")), 2.0));
    const QImage one(QString::fromStdString(m_dir.File("graph.png")));
    const QImage two(QString::fromStdString(m_dir.File("graph2.png")));
    QCOMPARE(one.size(), graph->size());
    QCOMPARE(two.size(), graph->size() * 2);
    // The combined curve is white where it peaks.
    QCOMPARE(one.pixelColor(x, graph->Curve()[static_cast<std::size_t>(x)]), QColor(Qt::white));
    QVERIFY(dialog->ExportGraph(QString::fromStdString(m_dir.File("graph.svg")), 1.0));
    const std::string svg = testsupport::ReadFile(m_dir.File("graph.svg"));
    QVERIFY(svg.find("<svg") != std::string::npos);
    QVERIFY(svg.find("<polyline") != std::string::npos);

    // An export that fails part-way (here the file-size limit cuts it off) leaves the file
    // it was to replace as it was, as every writer of a whole file does.
    CaptureReports(*dialog);
    const std::string kept = m_dir.File("kept.png");
    testsupport::WriteFile(kept, "the previous export");
    bool exported = true;
    {
      const FileSizeLimit limit(64);
      exported = dialog->ExportGraph(QString::fromStdString(kept), 1.0);
    }
    QVERIFY(!exported);
    QVERIFY(m_report.failed);
    QCOMPARE(testsupport::ReadFile(kept), std::string("the previous export"));
  }

  void presetsGoInAndOutThroughTheGraphMenu() {
    auto dialog = MakeDialog();
    CaptureReports(*dialog);
    const std::string preset = m_dir.File("preset.txt");
    testsupport::WriteFile(preset,
                           "Preamp: -3 dB\nFilter 1: ON LSC Fc 105 Hz Gain 6.2 dB Q 0.7\n"
                           "Filter 2: ON NO Fc 50 Hz\nFilter 3: ON HPQ Fc 80 Hz Q 0.7071\n"
                           "Convolution: room.wav\n");
    dialog->SetPresetChooser([&](QWidget*, bool save) {
      return QString::fromStdString(save ? m_dir.File("out.txt") : preset);
    });
    const std::unique_ptr<QMenu> menu(dialog->CreateGraphMenu(nullptr));
    auto action = [&menu](const char* text) {
      for (QAction* item : menu->actions()) {
        if (item->text() == QLatin1String(text)) {
          return item;
        }
      }
      return static_cast<QAction*>(nullptr);
    };
    QVERIFY(action("Open recording...") != nullptr);
    QVERIFY(action("Export graph as SVG...") != nullptr);
    action("Import preset...")->trigger();
    QCOMPARE(m_table.size(), std::size_t{3});
    QCOMPARE(m_config.bandNum, 3);
    QCOMPARE(dialog->Editors().size(), std::size_t{3});
    QCOMPARE(dialog->width(), 3 * dialog->Editors()[0]->width());
    QCOMPARE(dialog->Editors()[1]->bandType, 6U);
    QCOMPARE(m_table.preampDb, -3.0);
    QCOMPARE(m_report.title, QStringLiteral("Import preset"));
    QVERIFY(m_report.text.startsWith(QStringLiteral("Imported 3 filters.")));
    QVERIFY(
        m_report.text.contains(QStringLiteral("Line 5 is skipped: a convolution is not read.")));

    action("Export preset...")->trigger();
    QCOMPARE(
        QString::fromStdString(testsupport::ReadFile(m_dir.File("out.txt"))),
        QStringLiteral("Preamp: -3 dB\nFilter 1: ON LSC Fc 105 Hz Gain 6.2 dB Q 0.7\n"
                       "Filter 2: ON NO Fc 50 Hz Q 30\nFilter 3: ON HPQ Fc 80 Hz Q 0.707107\n"));
  }

  // The window's import obeys the band limit of the settings file: a preset of more filters
  // is refused with the count and the limit, and the bands stay as they were.
  void aPresetOfMoreFiltersThanTheBandLimitIsRefused() {
    auto dialog = MakeDialog();
    CaptureReports(*dialog);
    std::string preset = "Filter: ON PK Fc 1000 Hz Gain 1 dB Q 1\n";
    for (int n = 0; n < 100; ++n) {
      preset += "Filter: ON PK Fc " + std::to_string(100 + n) + " Hz Gain 1 dB Q 1\n";
    }
    testsupport::WriteFile(m_dir.File("many.txt"), preset + "GraphicEQ: 20 0\n");
    const EqBandTable before = m_table;
    QVERIFY(!dialog->ImportPreset(QString::fromStdString(m_dir.File("many.txt"))));
    QVERIFY(m_report.failed);
    QCOMPARE(m_report.text,
             QStringLiteral("The preset file holds 101 filters, more than the limit of 100 "
                            "bands.\n\nLine 102 is skipped: a graphic equalizer's curve "
                            "is not read.\n"));
    QVERIFY(m_table == before);
    QCOMPARE(dialog->Editors().size(), before.size());
  }
};

QObject* MakeBandTypeTest() { return new BandTypeTest; }

#include "BandTypeTest.moc"
