#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure that carries a number, a source and a description, the way the program reports
// errors between its modules (5, 6, 9, 91, 481, 60001). Callers catch it where they decide what
// the user sees; it never leaves an event handler.
class NumberedError : public std::exception {
public:
    NumberedError(int number, QString source, QString description)
        : mNumber(number),
          mSource(std::move(source)),
          mDescription(std::move(description)),
          mWhat(QString::number(mNumber).toUtf8() + ": " + mDescription.toUtf8()) {}

    int number() const { return mNumber; }
    QString source() const { return mSource; }
    QString description() const { return mDescription; }
    const char* what() const noexcept override { return mWhat.constData(); }

private:
    int mNumber;
    QString mSource;
    QString mDescription;
    QByteArray mWhat;
};

// The platform's standard texts for the numbered errors the program raises itself.
namespace ErrorText {
inline const char* const InvalidCall = "Invalid procedure call or argument";               // 5
inline const char* const Overflow = "Overflow";                                            // 6
inline const char* const SubscriptOutOfRange = "Subscript out of range";                   // 9
inline const char* const ObjectNotSet = "Object variable or With block variable not set";  // 91
inline const char* const InvalidPicture = "Invalid picture";                               // 481
}  // namespace ErrorText
