#include "lista/revision_lista.h"

#include "ajustes/ajustes.h"
#include "lista/bajas.h"
#include "lista/columnas.h"
#include "lista/numero_fecha.h"
#include "lista/separar_linea.h"

#include <QCoreApplication>
#include <QHash>

namespace lista {

namespace {

QString tr(const char *texto)
{
    return QCoreApplication::translate("MainWindow", texto);
}

// Nothing but separators and spaces: the blank lines and the ",,,," rows spreadsheets leave.
bool filaVacia(QStringView linea, QChar separador)
{
    for (const QChar c : linea) {
        if (c != separador && !c.isSpace())
            return false;
    }
    return true;
}

QStringView celda(const QVector<QStringView> &campos, int columna)
{
    return columna >= 0 && columna < campos.size() ? campos.at(columna) : QStringView();
}

} // namespace

QString textoMotivo(Motivo motivo)
{
    switch (motivo) {
    case Motivo::Ninguno:
        break;
    case Motivo::FilaVacia:
        return tr("fila vacía");
    case Motivo::NumeroVacio:
        return tr("número vacío");
    case Motivo::NumeroInvalido:
        return tr("número no válido");
    case Motivo::SinColumnaFecha:
        return tr("no existe la columna de fecha");
    case Motivo::FechaVacia:
        return tr("fecha vacía");
    case Motivo::FechaIlegible:
        return tr("fecha ilegible");
    case Motivo::FaltaObligatorio:
        return tr("falta un campo obligatorio");
    case Motivo::MensajeVacio:
        return tr("mensaje vacío");
    case Motivo::TextoConCampo:
        return tr("texto con &num=, &key=, &msg= o &stat");
    case Motivo::DadoDeBaja:
        return tr("dado de baja");
    }
    return QString();
}

QString campoEnMensaje(QStringView mensaje)
{
    static const QString campos[] = {QStringLiteral("&num="), QStringLiteral("&key="),
                                     QStringLiteral("&msg="), QStringLiteral("&stat")};
    const bool conSaltos = mensaje.contains(u'\n');
    const QString enviado =
        conSaltos ? mensaje.toString().replace(QLatin1Char('\n'), QLatin1String("&enter&")) : QString();
    const QStringView texto = conSaltos ? QStringView(enviado) : mensaje;
    if (!texto.contains(u'&'))
        return QString();
    for (const QString &campo : campos) {
        if (texto.contains(campo, Qt::CaseInsensitive))
            return campo;
    }
    return QString();
}

QString textoCampoEnMensaje(const QString &campo)
{
    return tr("texto con %1").arg(campo);
}

ReglasFila::ReglasFila(const EntradasFila &e)
    : plantilla(e.plantilla,
                [&](QStringView referencia) {
                    return resolverColumna(referencia, e.columnas, e.cantidadColumnas);
                }),
      columnaCelular(resolverColumna(e.columnaCelular, e.columnas, e.cantidadColumnas)),
      columnaFecha(resolverColumna(e.columnaFecha, e.columnas, e.cantidadColumnas)),
      fechaInmediata(e.columnaFecha.isEmpty() || e.columnaFecha == QLatin1String(ajustes::kInmediato)),
      separador(e.separador), hoy(e.hoy), bajas(e.bajas)
{
}

ResultadoFila ReglasFila::evaluar(QStringView linea) const
{
    ResultadoFila r;
    if (filaVacia(linea, separador)) {
        r.motivo = Motivo::FilaVacia;
        return r;
    }
    separarLineaEnVistas(linea, separador, campos);

    const QStringView numero = celda(campos, columnaCelular);
    if (numero.trimmed().isEmpty()) {
        r.motivo = Motivo::NumeroVacio;
        return r;
    }
    if (!limpiarNumero(numero, r.numero)) {
        r.motivo = Motivo::NumeroInvalido;
        return r;
    }
    if (bajas && bajas->contiene(r.numero)) {
        r.motivo = Motivo::DadoDeBaja;
        return r;
    }

    // A date the program cannot read never means "now": only the operator's choice does.
    if (fechaInmediata) {
        r.fecha = hoy;
    } else if (columnaFecha < 0) {
        r.motivo = Motivo::SinColumnaFecha;
        return r;
    } else {
        const QStringView fecha = celda(campos, columnaFecha);
        if (fecha.trimmed().isEmpty()) {
            r.motivo = Motivo::FechaVacia;
            return r;
        }
        if (!leerFechaCelda(fecha, r.fecha)) {
            r.motivo = Motivo::FechaIlegible;
            return r;
        }
    }

    MensajeLlenado m = plantilla.llenar(campos);
    if (m.faltaObligatorio) {
        r.motivo = Motivo::FaltaObligatorio;
        return r;
    }
    if (m.mensaje.isEmpty()) {
        r.motivo = Motivo::MensajeVacio;
        return r;
    }
    r.mensaje = std::move(m.mensaje);
    if (!campoEnMensaje(r.mensaje).isEmpty()) {
        // Kept, so that the reason can name the field.
        r.motivo = Motivo::TextoConCampo;
        return r;
    }
    r.truncado = m.truncado;
    return r;
}

void RevisionLista::agregar(int linea, const QString &fila, const ResultadoFila &r)
{
    if (r.motivo != Motivo::Ninguno) {
        ++errores;
        ++motivos[int(r.motivo)];
        lista.append({linea, fila,
                      r.motivo == Motivo::TextoConCampo ? textoCampoEnMensaje(campoEnMensaje(r.mensaje))
                                                        : textoMotivo(r.motivo)});
        return;
    }
    ++encolados;
    if (r.truncado) {
        ++cortados;
        lista.append({linea, fila, tr("SMS truncado a %1 caracteres").arg(kLargoMaximoSms)});
    }
    const int primera = primeraIgual(r, linea);
    if (primera == 0)
        return;
    ++repetidas;
    lista.append({linea, fila, tr("repite el número y el mensaje de la línea %1").arg(primera)});
}

int RevisionLista::primeraIgual(const ResultadoFila &r, int linea)
{
    // Two 32-bit hashes of the pair: two different records share both only by a chance too small to
    // matter for a warning (about one in 10^10 for 100,000 rows), and no row's text is kept.
    const quint64 clave = (quint64(qHash(r.numero) ^ (qHash(r.mensaje) * 0x9E3779B1u)) << 32) |
                          (qHash(r.numero, 0x5BD1E995u) ^ (qHash(r.mensaje, 0x27D4EB2Fu) * 0x85EBCA6Bu));
    // At most half full, so a probe ends soon at a free slot; line 0 marks a free one.
    if ((registros + 1) * 2 > tabla.size()) {
        const QVector<Entrada> vieja = tabla;
        tabla.fill(Entrada(), qMax(64, vieja.size() * 2));
        for (const Entrada &e : vieja) {
            if (e.linea != 0)
                ubicar(e.clave) = e;
        }
    }
    Entrada &e = ubicar(clave);
    if (e.linea != 0)
        return e.linea;
    e = {clave, linea};
    ++registros;
    return 0;
}

RevisionLista::Entrada &RevisionLista::ubicar(quint64 clave)
{
    const quint64 mascara = quint64(tabla.size() - 1);
    quint64 i = (clave ^ (clave >> 29)) & mascara;
    while (tabla.at(int(i)).linea != 0 && tabla.at(int(i)).clave != clave)
        i = (i + 1) & mascara;
    return tabla[int(i)];
}

QString textoResumen(const RevisionLista &revision)
{
    if (revision.aErrores() == 0 && revision.repetidos() == 0)
        return QString();
    QString texto = revision.aEncolar() == 1
                        ? tr("Se agregará 1 SMS a la bandeja de salida.\n")
                        : tr("Se agregarán %1 SMS a la bandeja de salida.\n").arg(revision.aEncolar());
    if (revision.aErrores() > 0) {
        texto += revision.aErrores() == 1
                     ? tr("1 fila irá al archivo de errores:\n")
                     : tr("%1 filas irán al archivo de errores:\n").arg(revision.aErrores());
        for (int m = 1; m < kCantidadMotivos; ++m) {
            const int n = revision.porMotivo(Motivo(m));
            if (n > 0)
                texto += QStringLiteral("  %1: %2\n").arg(textoMotivo(Motivo(m))).arg(n);
        }
    }
    if (revision.repetidos() == 1)
        texto += tr("1 fila repite el número y el mensaje de una fila anterior.\n");
    else if (revision.repetidos() > 1)
        texto +=
            tr("%1 filas repiten el número y el mensaje de una fila anterior.\n").arg(revision.repetidos());
    return texto;
}

} // namespace lista
