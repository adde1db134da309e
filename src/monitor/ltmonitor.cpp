// ltmonitor: the tray program with the live meter.
#include "monitor/monitor_main.h"

int main(int argc, char** argv)
{
    return monitorMain(argc, argv);
}
