// The operator's three switches on the station window.
#include "stationwindow.h"

void Form_STATION::CmdButton_ACQUIRE_Click() {}
void Form_STATION::CmdButton_TEST_Click() {}
void Form_STATION::CmdButton_OPTIONS_Click() {}
