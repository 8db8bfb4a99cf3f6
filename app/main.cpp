#include "app/TonvaleApp.h"

int main(int argc, char** argv) {
  CTonvaleApp app;
  return app.Run(argc, argv);
}
