#include "monitor/monitor_main.h"
int monitorMain(int, char**) { return 0; }
