// Must not build: the client's layer links nothing above it, so the collector's headers are out of its reach.
#include "wmi/WmiClient.h"
#include "collector/ReportFile.h"
