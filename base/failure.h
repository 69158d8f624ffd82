#pragma once

#include <QString>

#include <exception>

// A failed operation inside a click handler: a German description of what failed and the
// system's reason. The handler ends where it is thrown; the window reports it in the
// "Fehler" box and the program carries on.
//
// A Failure must never reach a Qt event loop: Qt does not let exceptions pass through its
// event dispatch, and the program would end. So every slot or lambda that may throw is
// connected through the window's runHandler(), which catches and reports it; code that runs
// nested event loops (the fetch's wait, the animation's pauses) throws only after its loop
// has returned.
class Failure : public std::exception
{
public:
    Failure(QString description, QString reason)
        : m_description(std::move(description)),
          m_reason(std::move(reason))
    { }

    const QString &description() const { return m_description; }
    const QString &reason() const { return m_reason; }
    const char *what() const noexcept override { return "Nubilo failure"; }

private:
    QString m_description;
    QString m_reason;
};
