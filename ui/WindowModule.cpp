// The window as a module of its own, loaded by the program only when it opens the window: the
// console modes then never load the toolkit's libraries (which cost a run a tenth of its time
// and would make them depend on a display library being installed).
#include "ui/InteractiveMode.h"

extern "C" TONVALE_WINDOW_EXPORT int TonvaleRunWindow(int* argc, char** argv,
                                                      const InteractiveContext* context) {
  return static_cast<int>(RunInteractiveMode(*argc, argv, *context));
}
