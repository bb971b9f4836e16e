// Bearing input on the station window: serial sentences, the DF watchdog and the test generator.
#include "stationwindow.h"

void Form_STATION::MSComm1_OnComm() {}
void Form_STATION::Timer_DF_Timer() {}
void Form_STATION::Timer_TEST_Timer() {}
