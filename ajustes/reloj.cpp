#include "ajustes/reloj.h"

#include <QReadLocker>
#include <QReadWriteLock>
#include <QWriteLocker>

namespace reloj {

namespace {

QReadWriteLock &bloqueo()
{
    static QReadWriteLock b;
    return b;
}

std::function<QDateTime()> &fuente()
{
    static std::function<QDateTime()> f;
    return f;
}

} // namespace

QDateTime ahora()
{
    QReadLocker lectura(&bloqueo());
    return fuente() ? fuente()() : QDateTime::currentDateTime();
}

QDate hoy()
{
    return ahora().date();
}

QString hoyTexto()
{
    return hoy().toString(QStringLiteral("dd/MM/yyyy"));
}

void fijar(std::function<QDateTime()> nueva)
{
    QWriteLocker escritura(&bloqueo());
    fuente() = std::move(nueva);
}

} // namespace reloj
