// The options dialog: connection, start at log-on, chart colours and
// transparency of the meter.
#pragma once

class DataList;
class LTOptions;
class QWidget;

// Shows the dialog modally; what the user confirms is stored in options.
void runOptionsDialog(DataList* entryNames, LTOptions* options, QWidget* parent = nullptr);
