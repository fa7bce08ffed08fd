#include "lista/corrida_lista.h"

#include "lista/lectura_lista.h"

#include <QCoreApplication>
#include <QFile>

namespace corrida_lista {

namespace {
QString tr(const char *texto)
{
    return QCoreApplication::translate("MainWindow", texto);
}

// The line a report adds when rows went to the errors file.
QString lineaErrores(int aErrores, const QString &rutaErrores)
{
    if (aErrores == 1)
        return QLatin1Char('\n') + tr("1 fila fue al archivo de errores %1.").arg(rutaErrores);
    if (aErrores > 1)
        return QLatin1Char('\n') +
               tr("%1 filas fueron al archivo de errores %2.").arg(aErrores).arg(rutaErrores);
    return QString();
}
} // namespace

Modo elegirModo(bool vigilanciaActiva, bool casillaMarcada)
{
    if (vigilanciaActiva)
        return Modo::Vigilada;
    return casillaMarcada ? Modo::Armado : Modo::Simple;
}

QString textoConfirmacion(int truncados, int faltaObligatorio, int mensajes, bool otrosAvisos)
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
    if (truncados > 0 || faltaObligatorio > 0 || otrosAvisos)
        texto += tr("Desea enviar %1 SMS de todos modos?").arg(mensajes);
    else
        texto += tr("Desea enviar %1 SMS?").arg(mensajes);
    return texto;
}

QString textoReporte(int agregados, Modo modo, int aErrores, const QString &rutaErrores)
{
    const QString texto = modo == Modo::Armado
                              ? tr("Se agregaron %1 SMS al buzon de salida.").arg(agregados)
                              : tr("Se agregaron %1 SMSs al buzon de salida.").arg(agregados);
    return texto + lineaErrores(aErrores, rutaErrores);
}

QString textoListaRechazada(lista::Lectura lectura, const QString &ruta)
{
    switch (lectura) {
    case lista::Lectura::NoEsArchivo:
        return tr("La lista %1 no es un archivo común: no se puede agregar.").arg(ruta);
    case lista::Lectura::MuyGrande:
        return tr("La lista %1 es demasiado grande: el límite es de %2 MB.")
            .arg(ruta)
            .arg(lista::kTamanoMaximoLista >> 20);
    case lista::Lectura::MuchasFilas:
        return tr("La lista %1 tiene más de %2 filas: no se puede agregar.")
            .arg(ruta)
            .arg(lista::kFilasMaximasLista);
    case lista::Lectura::LineaMuyLarga:
        return tr("La lista %1 tiene una línea de más de %2 MB: no se puede agregar.")
            .arg(ruta)
            .arg(lista::kLargoMaximoLinea >> 20);
    case lista::Lectura::Bien:
    case lista::Lectura::NoAbre:
        break;
    }
    return QString();
}

QString textoEscrituraDetenida(const QString &causa, const QString &rutaLista, int agregados, Modo modo)
{
    const QString texto =
        modo == Modo::Vigilada
            ? tr("La lista %1 no se agregó completa: se agregaron %2 SMS al buzón de salida. "
                 "Queda donde está y se detuvo la verificación periódica.")
            : tr("La lista %1 no se agregó completa: se agregaron %2 SMS al buzón de salida. "
                 "Queda donde está y no se activó la verificación periódica.");
    return causa + QLatin1Char('\n') + texto.arg(rutaLista).arg(agregados);
}

QString textoCorridaCompletada(const QString &rutaLista, int hechas, int agregados, int aErrores,
                               const QString &rutaErrores)
{
    return tr("La lista %1 había quedado a medio agregar y se completó sin repetir las %2 filas ya "
              "procesadas. En total se agregaron %3 SMS al buzón de salida.")
               .arg(rutaLista)
               .arg(hechas)
               .arg(agregados) +
           lineaErrores(aErrores, rutaErrores);
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
