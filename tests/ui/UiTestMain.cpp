// Runs every window test class, as one program on Qt's offscreen platform.
#include <QApplication>
#include <QTest>
#include <memory>

QObject* MakeTonvaleDlgTest();
QObject* MakeBandEditorTest();
QObject* MakeDlgEQPainterTest();
QObject* MakeBandTypeTest();

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int failed = 0;
  for (QObject* (*make)() :
       {MakeTonvaleDlgTest, MakeBandEditorTest, MakeDlgEQPainterTest, MakeBandTypeTest}) {
    const std::unique_ptr<QObject> test(make());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
