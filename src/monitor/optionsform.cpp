#include "monitor/optionsform.h"

void runOptionsDialog(DataList*, LTOptions*, QWidget*) {}
