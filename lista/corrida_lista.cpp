#include "lista/corrida_lista.h"

#include <QCoreApplication>
#include <QFile>

namespace corrida_lista {

namespace {
QString tr(const char *texto)
{
    return QCoreApplication::translate("MainWindow", texto);
}
} // namespace

Modo elegirModo(bool vigilanciaActiva, bool casillaMarcada)
{
    if (vigilanciaActiva)
        return Modo::Vigilada;
    return casillaMarcada ? Modo::Armado : Modo::Simple;
}

QString textoConfirmacion(int truncados, int faltaObligatorio, int filas)
{
    QString texto;
    if (truncados == 1)
        texto += tr("1 SMS ha sido truncado.\n");
    else if (truncados > 1)
        texto += tr("%1 SMSs han sido truncados.\n").arg(truncados);
    if (faltaObligatorio == 1)
        texto += tr("A 1 SMS le falta al menos un campo obligatorio.\n");
    else if (faltaObligatorio > 1)
        texto += tr("A %1 SMSs les falta al menos un campo obligatorio.\n").arg(faltaObligatorio);
    if (truncados > 0 || faltaObligatorio > 0)
        texto += tr("Desea enviar %1 SMS de todos modos?").arg(filas);
    else
        texto += tr("Desea enviar %1 SMS?").arg(filas);
    return texto;
}

QString textoReporte(int agregados, Modo modo)
{
    if (modo == Modo::Armado)
        return tr("Se agregaron %1 SMS al buzon de salida.").arg(agregados);
    return tr("Se agregaron %1 SMSs al buzon de salida.").arg(agregados);
}

namespace {

// A comma would split the outbox record at the wrong place (the outbox has no quoting), a line
// break would end it, and a NUL cuts the gateway request.
bool campoSeguro(const QString &campo)
{
    for (const QChar c : campo) {
        if (c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return false;
    }
    return true;
}

} // namespace

bool numeroUtilizable(const QString &numero)
{
    return !numero.isEmpty() && !numero.contains(QLatin1Char('&')) && !numero.contains(QLatin1Char('=')) &&
           campoSeguro(numero);
}

bool filaUtilizable(const QString &numero, const QString &fecha, const QString &mensaje)
{
    return !mensaje.isEmpty() && numeroUtilizable(numero) && !fecha.isEmpty() && campoSeguro(fecha);
}

bool apartarLista(const QString &rutaLista, const QString &rutaBackup)
{
    if (rutaLista != rutaBackup) {
        QFile::remove(rutaBackup);
        if (!QFile::rename(rutaLista, rutaBackup) && QFile::copy(rutaLista, rutaBackup))
            QFile::remove(rutaLista);
    }
    return !QFile::exists(rutaLista);
}

} // namespace corrida_lista
