// Numbers and dates as in the United States for one test, whatever the
// machine's locale.
#pragma once

#include <QLocale>

class UsLocale {
public:
    UsLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~UsLocale() { QLocale::setDefault(previous); }
    UsLocale(const UsLocale&) = delete;
    UsLocale& operator=(const UsLocale&) = delete;

private:
    QLocale previous;
};
