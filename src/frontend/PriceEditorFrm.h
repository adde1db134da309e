// The price editor ("Costs"): edits the price table in place.
#pragma once

class Prices;
class QWidget;

// True when the user closed the editor with OK.
bool runPriceEditor(Prices* prices, QWidget* parent = nullptr);
