// Runs every window test class, as one program on Qt's offscreen platform; with UI_TEST_CLASS
// set, only the class of that name.
#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <memory>

QObject* MakeTonvaleDlgTest();
QObject* MakeBandEditorTest();
QObject* MakeDlgEQPainterTest();
QObject* MakeBandTypeTest();
QObject* MakeRecordingViewTest();
QObject* MakeRecordingPlayerTest();

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const char* only = std::getenv("UI_TEST_CLASS");
  int failed = 0;
  for (QObject* (*make)() : {MakeTonvaleDlgTest, MakeBandEditorTest, MakeDlgEQPainterTest,
                             MakeBandTypeTest, MakeRecordingViewTest, MakeRecordingPlayerTest}) {
    const std::unique_ptr<QObject> test(make());
    if (only != nullptr && std::strcmp(only, test->metaObject()->className()) != 0) {
      continue;
    }
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
