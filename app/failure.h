#pragma once

#include <QString>

#include <exception>

// A failed operation inside a click handler. The handler ends where it is thrown;
// Form1 reports it in the "Fehler" box and the program carries on.
class Failure : public std::exception
{
public:
    Failure(QString description, QString reason)
        : m_description(std::move(description)), m_reason(std::move(reason)) { }

    const QString &description() const { return m_description; }
    const QString &reason() const { return m_reason; }
    const char *what() const noexcept override { return "Nubilo failure"; }

private:
    QString m_description;
    QString m_reason;
};
