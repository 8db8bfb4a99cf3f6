// Runs every window test class, as one program on the platform QT_QPA_PLATFORM names (Qt's
// offscreen one, or xcb on an X server); with UI_TEST_CLASS set, only the classes it names,
// separated by commas.
#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QStringList>
#include <QTest>
#include <cstdlib>
#include <memory>

QObject* MakeTonvaleDlgTest();
QObject* MakeBandEditorTest();
QObject* MakeDlgEQPainterTest();
QObject* MakeBandTypeTest();
QObject* MakeRecordingViewTest();
QObject* MakeGraphEditTest();
QObject* MakeRecordingStripTest();
QObject* MakeRecordingPlayerTest();
QObject* MakeDeliveryViewTest();

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // On a real display the pointer starts in the middle of the screen, where the windows open:
  // it would hover over them. It waits in a corner instead.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
  }
  const char* only = std::getenv("UI_TEST_CLASS");
  const QStringList chosen =
      only != nullptr ? QString::fromLocal8Bit(only).split(QLatin1Char(',')) : QStringList();
  int failed = 0;
  for (QObject* (*make)() :
       {MakeTonvaleDlgTest, MakeBandEditorTest, MakeDlgEQPainterTest, MakeBandTypeTest,
        MakeRecordingViewTest, MakeGraphEditTest, MakeRecordingStripTest, MakeRecordingPlayerTest,
        MakeDeliveryViewTest}) {
    const std::unique_ptr<QObject> test(make());
    if (only != nullptr && !chosen.contains(QString::fromLatin1(test->metaObject()->className()))) {
      continue;
    }
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
