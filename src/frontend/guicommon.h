// What the windows share at the toolkit's boundary: the model's colour
// values as Qt colours and back, and the one way an error reaches the user.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

// A colour value of the model (0x00BBGGRR, or 0x80000000 | n for the
// system colour n, resolved through the application's palette).
QColor colorFromValue(std::uint32_t value);
// The model's value of a colour the user chose: always a plain 0x00BBGGRR.
std::uint32_t valueFromColor(const QColor& color);

// Error boxes. Tests answer them instead of a user: with a handler set,
// the message goes to it and no window opens.
class MessageBox {
public:
    using Handler = std::function<void(const QString& message)>;
    static void showError(QWidget* parent, const QString& message);
    static void showError(QWidget* parent, const std::string& message) { showError(parent, QString::fromStdString(message)); }
    // Replaces the box by handler until the returned value is destroyed.
    class Redirect {
    public:
        explicit Redirect(Handler handler);
        ~Redirect();
        Redirect(const Redirect&) = delete;
        Redirect& operator=(const Redirect&) = delete;
    private:
        Handler previous;
    };
private:
    static inline Handler redirected; // set only through Redirect
};
