// A build without libsndfile (Windows): the class is left out; WAVE is the only container.
#include "LibProject/Audio/WaveFileUtil/SndFile.h"

bool SndFileAvailable() { return false; }
